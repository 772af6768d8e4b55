#include <gtest/gtest.h>

#include "monitor/ScanTexts.h"

namespace tavrel {
namespace {

TEST(ScanErrorText, EveryKnownCodeAndTheUnknownOnes) {
    const std::pair<NWCCODE, const char*> cases[] = {
        {0x8801, "Invalid connection"},
        {0x890A, "NLM invalid connection"},
        {0x8996, "Server out of memory"},
        {0x8998, "Volume does not exist"},
        {0x899B, "Bad directory handle"},
        {0x899C, "Invalid path"},
        {0x89A1, "Directory I/O error"},
        {0x89A8, "Access denied"},
        {0x89C6, "No console privileges"},
        {0x89FD, "Bad station number"},
        {0x89FF, "Lock error"},
        {0x89FC, "Unknown error 35324"},
        {1, "Unknown error 1"},
        {-601, "Unknown error -601"},
    };
    for (const auto& [rc, text] : cases) {
        EXPECT_EQ(ScanErrorText(rc), QString::fromLatin1(text)) << rc;
    }
}

TEST(OpenModeWords, WordsInBitOrderWithoutTheTrailingComma) {
    const std::pair<quint8, const char*> cases[] = {
        {0x00, ""},
        {0x01, "Read"},
        {0x03, "Read,Write"},
        {0x05, "Read,Deny Read"},
        {0x0F, "Read,Write,Deny Read,Deny Write"},
        {0x0A, "Write,Deny Write"},
        {0xF0, ""},  // no word, "Compatibility" included, for the high bits
    };
    for (const auto& [mask, text] : cases) {
        EXPECT_EQ(OpenModeWords(mask), QString::fromLatin1(text)) << int(mask);
    }
}

TEST(LoginTimeText, DayNameDateAndTwelveHourTime) {
    struct Case {
        LoginTime bytes;
        const char* text;
    };
    const Case cases[] = {
        {{103, 6, 9, 8, 5, 0, 1}, "Monday, 6/9/03, 08:05 am"},
        {{126, 12, 2, 13, 40, 7, 3}, "Wendesday, 12/2/26, 01:40 pm"},
        {{99, 1, 31, 0, 0, 0, 0}, "Sunday, 1/31/99, 12:00 am"},
        {{100, 2, 29, 12, 30, 0, 6}, "Saturday, 2/29/00, 12:30 pm"},
        {{5, 3, 4, 23, 59, 0, 7}, ", 3/4/5, 11:59 pm"},
        {{126, 3, 4, 9, 0, 0, 200}, ", 3/4/26, 09:00 am"},
        {{0, 0, 0, 0, 0, 0, 0}, "Unknown"},  // no login time given
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoginTimeText(c.bytes), QString::fromLatin1(c.text)) << c.text;
    }
}

TEST(NetworkAddressText, PrefixByTypeIpDottedOthersHex) {
    const auto address = [](quint8 type) {
        InetAddr a;
        a.networkAddr = {10, 1, 2, 3};
        a.netNodeAddr = {0x00, 0xA0, 0xC9, 0x1E, 0x2F, 0x30};
        a.socket = {0x40, 0x03};
        a.connType = {type, 0};
        return a;
    };
    EXPECT_EQ(NetworkAddressText(address(11)), QStringLiteral("IP:10.1.2.3"));
    EXPECT_EQ(NetworkAddressText(address(2)), QStringLiteral("IPX:0A010203:00A0C91E2F30:4003"));
    EXPECT_EQ(NetworkAddressText(address(3)), QStringLiteral("AFP:0A010203:00A0C91E2F30:4003"));
    EXPECT_EQ(NetworkAddressText(address(7)), QStringLiteral("0A010203:00A0C91E2F30:4003"));
    // No address at all, as for a Samba client that is not on IPv4.
    EXPECT_EQ(NetworkAddressText(InetAddr{}), QStringLiteral("Unknown"));
    InetAddr zeroIpx{};
    zeroIpx.connType = {2, 0};
    EXPECT_EQ(NetworkAddressText(zeroIpx), QStringLiteral("IPX:00000000:000000000000:0000"));
}

TEST(RightsToText, WordsOfTheSetBitsInTableOrder) {
    const std::pair<quint16, const char*> cases[] = {
        {0x00FB, "Read,Write,Create,Delete,AccessCtrl,FileScan,Modify"},
        {0x0100, "Supervisor"},
        {0x0004, ""},
        {0x0000, ""},
        {0x0041, "Read,FileScan"},
        {0x01FF, "Read,Write,Create,Delete,AccessCtrl,FileScan,Modify,Supervisor"},
        {0xFE00, ""},
    };
    for (const auto& [mask, text] : cases) {
        EXPECT_EQ(RightsToText(mask), QString::fromLatin1(text)) << mask;
    }
}

}  // namespace
}  // namespace tavrel
