#include <gtest/gtest.h>

#include "mainwindow/CommandLine.h"

namespace tavrel {
namespace {

struct SwitchCase {
    const char* argument;
    StartupSwitch expected;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << "'" << c.argument << "'";
}

class StartupSwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(StartupSwitchTest, MatchesOnlyAtTheEnd) {
    const SwitchCase& c = GetParam();
    EXPECT_EQ(startupSwitchOf(QString::fromLatin1(c.argument)), c.expected)
        << "argument '" << c.argument << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupSwitchTest,
    ::testing::Values(
        SwitchCase{"", StartupSwitch::None}, SwitchCase{"   ", StartupSwitch::None},
        SwitchCase{"/p", StartupSwitch::None}, SwitchCase{" /p ", StartupSwitch::None},
        SwitchCase{"/P", StartupSwitch::None}, SwitchCase{"-t", StartupSwitch::AutoScan},
        SwitchCase{"-T", StartupSwitch::AutoScan}, SwitchCase{"  -t  ", StartupSwitch::AutoScan},
        SwitchCase{"anything-T", StartupSwitch::AutoScan},
        SwitchCase{"-d", StartupSwitch::AutoScanAndStore},
        SwitchCase{"xyz -D", StartupSwitch::AutoScanAndStore},
        SwitchCase{"-t -d", StartupSwitch::AutoScanAndStore},
        SwitchCase{"-dx", StartupSwitch::None}, SwitchCase{"-d ,", StartupSwitch::None},
        SwitchCase{"t", StartupSwitch::None}, SwitchCase{"-", StartupSwitch::None},
        SwitchCase{"-x", StartupSwitch::None}));

TEST(commandLineText, JoinsTheArgumentsAfterTheProgram) {
    EXPECT_EQ(commandLineText({"tavrel"}), "");
    EXPECT_EQ(commandLineText({"tavrel", "-t"}), "-t");
    EXPECT_EQ(commandLineText({"tavrel", "watch", "-D"}), "watch -D");
}

}  // namespace
}  // namespace tavrel
