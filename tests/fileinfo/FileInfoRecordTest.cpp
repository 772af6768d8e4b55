#include <gtest/gtest.h>

#include <QJsonArray>

#include "fileinfo/FileInfoRecord.h"

namespace tavrel {
namespace {

constexpr quint32 packed(int year, int month, int day, int hour, int minute, int second) {
    return quint32((year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5 |
                   second / 2);
}

struct DateCase {
    quint32 value;
    const char* formatted;
    const char* shown;
};

class FormatNetWareDateTimeTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(FormatNetWareDateTimeTest, FormatsAndShowsWithoutBlanks) {
    const DateCase& c = GetParam();
    EXPECT_EQ(FormatNetWareDateTime(c.value), QString::fromLatin1(c.formatted));
    EXPECT_EQ(RemoveSpaces(FormatNetWareDateTime(c.value)), QString::fromLatin1(c.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatNetWareDateTimeTest,
    ::testing::Values(DateCase{0, "?", "?"},
                      DateCase{packed(2003, 6, 9, 8, 5, 30), "6/9/2003, 8:5:30", "6/9/2003,8:5:30"},
                      // An empty date half: the time alone, on 0/0/1980.
                      DateCase{0x0000A0A5, "0/0/1980, 20:5:10", "0/0/1980,20:5:10"},
                      DateCase{packed(2107, 12, 31, 23, 59, 58), "12/31/2107, 23:59:58",
                               "12/31/2107,23:59:58"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(FileInfoRecordTest, ALastAccessDateShowsMidnight) {
    const quint16 date = quint16(packed(2003, 6, 9, 0, 0, 0) >> 16);
    EXPECT_EQ(netWareDateOnlyText(date), "6/9/2003,0:0:0");
    EXPECT_EQ(netWareDateOnlyText(0), "?");
}

TEST(FileInfoRecordTest, ReplaceTextNeverSearchesItsReplacement) {
    EXPECT_EQ(ReplaceText(1, "R&D.TXT", "&", "&&"), "R&&D.TXT");
    EXPECT_EQ(ReplaceText(1, "&A&&", "&", "&&"), "&&A&&&&");
    EXPECT_EQ(ReplaceText(3, "a&b&c", "&", "+"), "a&b+c");
    EXPECT_EQ(ReplaceText(1, "abc", "", "x"), "abc");
}

struct SplitCase {
    const char* fullPath;
    const char* server;
    const char* directory;
    const char* name;
};

class SplitFullPathTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitFullPathTest, SplitsServerDirectoryAndName) {
    const SplitCase& c = GetParam();
    const FullPathParts parts = splitFullPath(QString::fromLatin1(c.fullPath));
    EXPECT_EQ(parts.server, c.server);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.name, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitFullPathTest,
    ::testing::Values(
        SplitCase{"FS1\\SYS:APPS\\DATA\\ORDERS.DBF", "FS1", "SYS:APPS\\DATA", "ORDERS.DBF"},
        SplitCase{"FS1\\SYS:APPS\\ORDERS.DBF", "FS1", "SYS:APPS", "ORDERS.DBF"},
        SplitCase{"FS1\\SYS:ORDERS.DBF", "FS1", "SYS", "ORDERS.DBF"},
        SplitCase{"FS2\\VOL1:Quarterly Report.xls", "FS2", "VOL1", "Quarterly Report.xls"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(FileInfoRecordTest, DecodesTheFieldsAtTheirOffsets) {
    ExtendedInfo bytes{};
    writeLe32(bytes, 8, 0x20000021);
    writeLe32(bytes, 28, 0x11111111);
    writeLe32(bytes, 32, 0x22222222);
    writeLe32(bytes, 36, 0x33333333);
    writeLe32(bytes, 40, 0x44444444);
    writeLe32(bytes, 44, 0x55555555);
    writeLe32(bytes, 48, 0x66666666);
    writeLe32(bytes, 52, 1234567);
    writeLe16(bytes, 102, 0x7777);
    const ExtendedFileRecord r = decodeExtendedInfo(bytes);
    EXPECT_EQ(r.attributes, 0x20000021u);
    EXPECT_EQ(r.created, 0x11111111u);
    EXPECT_EQ(r.owner, 0x22222222u);
    EXPECT_EQ(r.archived, 0x33333333u);
    EXPECT_EQ(r.archiver, 0x44444444u);
    EXPECT_EQ(r.modified, 0x55555555u);
    EXPECT_EQ(r.modifier, 0x66666666u);
    EXPECT_EQ(r.dataSize, 1234567u);
    EXPECT_EQ(r.accessed, 0x7777);
}

TEST(FileInfoRecordTest, AttributeCaptionsInDisplayOrder) {
    EXPECT_EQ(attributeCaptions(0x21), QStringList({"ReadOnly", "Archive"}));
    EXPECT_TRUE(attributeCaptions(0).isEmpty());
    // Bits without a box are not shown.
    EXPECT_TRUE(attributeCaptions(0x00000040 | 0x00000100 | 0x10000000).isEmpty());
    EXPECT_EQ(attributeCaptions(0xFFFFFFFF),
              QStringList({"ReadOnly",      "Hidden",        "System",      "ExecuteOnly",
                           "Directory",     "Archive",       "Shareable",   "Transactional",
                           "Indexed",       "ReadAudit",     "WriteAudit",  "Immed.Purge",
                           "RenameInhibit", "DeleteInhibit", "CopyInhibit", "FileMigrated",
                           "Don'tMigrate",  "Imm.Compress",  "Compressed",  "Don'tCompress",
                           "Can'tCompress"}));
}

TEST(FileInfoRecordTest, CopyTextHasTwelveLinesBeforeTheAttributes) {
    const std::array<QString, 7> texts = {"6/9/2003,8:5:30", "ALICE", "6/9/2003,0:0:0", "?", "?",
                                          "6/9/2003,8:5:30", "BOB"};
    const QString text = fileInfoCopyText("FS1\\SYS:APPS\\ORDERS.DBF", "G:\\APPS\\ORDERS.DBF",
                                          texts, attributeCaptions(0x21));
    EXPECT_EQ(text,
              "Full Path:  FS1\\SYS:APPS\\ORDERS.DBF\r\n"
              "Path:  G:\\APPS\\ORDERS.DBF\r\n"
              "Created:  6/9/2003,8:5:30\r\n"
              "Owner:  ALICE\r\n"
              "Last Access:  6/9/2003,0:0:0\r\n"
              "Last Archived:  ?\r\n"
              "Last Arch. By:  ?\r\n"
              "Last Modified:  6/9/2003,8:5:30\r\n"
              "Last Modif. By:  BOB\r\n"
              "\r\n"
              "Attributes\r\n"
              "\r\n"
              "ReadOnly\r\n"
              "Archive\r\n");
    const QStringList lines = text.split("\r\n");
    EXPECT_EQ(lines.indexOf("ReadOnly"), 12);
    // With no attribute the text ends with the empty line after "Attributes".
    EXPECT_TRUE(fileInfoCopyText("F", "P", texts, {}).endsWith("Attributes\r\n\r\n"));
}

TEST(FileInfoRecordTest, JsonNamesEveryField) {
    FileInfoFields fields;
    fields.FilePath = "G:\\APPS\\ORDERS.DBF";
    fields.FullPath = "FS1\\SYS:APPS\\ORDERS.DBF";
    fields.name = "ORDERS.DBF";
    fields.record.attributes = 0x21;
    fields.record.created = packed(2003, 6, 9, 8, 5, 30);
    fields.record.accessed = quint16(packed(2026, 12, 8, 0, 0, 0) >> 16);
    fields.record.owner = 0x0A000011;
    fields.record.dataSize = 1234567;
    fields.ownerName = "ALICE";
    fields.archiverName = "?";
    const QJsonObject json = fileInfoJson(fields);
    EXPECT_EQ(json["path"].toString(), "G:\\APPS\\ORDERS.DBF");
    EXPECT_EQ(json["fullPath"].toString(), "FS1\\SYS:APPS\\ORDERS.DBF");
    EXPECT_EQ(json["created"].toString(), "2003-06-09T08:05:30");
    EXPECT_EQ(json["lastAccess"].toString(), "2026-12-08");
    EXPECT_TRUE(json["lastArchived"].isNull());
    EXPECT_EQ(json["owner"].toString(), "ALICE");
    EXPECT_EQ(json["ownerId"].toDouble(), double(0x0A000011));
    EXPECT_EQ(json["lastArchivedBy"].toString(), "?");
    EXPECT_EQ(json["size"].toDouble(), 1234567.0);
    EXPECT_EQ(json["attributes"].toArray(), QJsonArray({"ReadOnly", "Archive"}));
    EXPECT_EQ(json["attributeBits"].toDouble(), 33.0);
}

}  // namespace
}  // namespace tavrel
