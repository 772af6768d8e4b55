#include <gtest/gtest.h>

#include "mainwindow/TreeNodeRules.h"

namespace tavrel {
namespace {

struct LevelCase {
    const char* tag;
    bool scanned;
    bool first;
    int level;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
    *os << "'" << c.tag << "' scanned " << c.scanned << " first " << c.first;
}

class NodeLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(NodeLevelTest, TellsTheLevel) {
    const LevelCase& c = GetParam();
    EXPECT_EQ(levelOfNode(QString::fromLatin1(c.tag), c.scanned, c.first), c.level)
        << "tag '" << c.tag << "' scanned " << c.scanned << " first " << c.first;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeLevelTest,
    ::testing::Values(
        // Before any completed scan, untagged nodes go by place.
        LevelCase{"", false, true, 1}, LevelCase{"", false, false, 2},
        // After a scan the tag decides.
        LevelCase{"1", true, true, 1}, LevelCase{"2,5,3", true, false, 2},
        LevelCase{"2,0,3", true, false, 2}, LevelCase{"3,12", true, false, 3},
        LevelCase{"4", true, false, 4},
        // A tag decides before the first completed scan too (a stopped first scan).
        LevelCase{"3,12", false, false, 3}, LevelCase{"4", false, false, 4},
        LevelCase{"1", false, true, 1},
        // Tags that name no level.
        LevelCase{"", true, true, 0}, LevelCase{"x", true, false, 0},
        LevelCase{"7", true, false, 7}));

struct FileNumberCase {
    const char* tag;
    bool scanned;
    qsizetype position;
    qint16 number;
};

void PrintTo(const FileNumberCase& c, std::ostream* os) {
    *os << "'" << c.tag << "' scanned " << c.scanned << " position " << c.position;
}

class NodeFileNumberTest : public ::testing::TestWithParam<FileNumberCase> {};

TEST_P(NodeFileNumberTest, FindsTheNumber) {
    const FileNumberCase& c = GetParam();
    EXPECT_EQ(fileNumberOfNode(QString::fromLatin1(c.tag), c.scanned, c.position), c.number)
        << "tag '" << c.tag << "' position " << c.position;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeFileNumberTest,
    ::testing::Values(FileNumberCase{"2,5,3", true, 0, 3}, FileNumberCase{"2,0,12", true, 0, 12},
                      FileNumberCase{"", false, 4, 3}, FileNumberCase{"", false, 2, 1},
                      FileNumberCase{"", false, 1, 0}, FileNumberCase{"", true, 4, 0},
                      FileNumberCase{"2,5,3", false, 9, 3}, FileNumberCase{"2,5,", true, 0, 0},
                      FileNumberCase{"2,5,99999", true, 0, 0}));

TEST(nodePath, IsTheTextBeforeTheSuffix) {
    EXPECT_EQ(nodePath("G:\\APPS\\ORDERS.DBF[2]"), "G:\\APPS\\ORDERS.DBF");
    EXPECT_EQ(nodePath("G:\\APPS\\ORDERS.DBF[Error : Invalid path]"), "G:\\APPS\\ORDERS.DBF");
    EXPECT_EQ(nodePath("G:\\APPS\\ORDERS.DBF"), "G:\\APPS\\ORDERS.DBF");
    EXPECT_EQ(nodePath(""), "");
}

TEST(nodeTrail, NamesANodeByWhatOutlivesARescan) {
    const QString orders = nodeTrail({1, 2}, {"Tree", "G:\\APPS\\ORDERS.DBF[2]"});
    EXPECT_EQ(orders, nodeTrail({1, 2}, {"Tree", "G:\\APPS\\ORDERS.DBF[Error : Access denied]"}));
    EXPECT_EQ(orders, nodeTrail({1, 2}, {"Tree", "G:\\APPS\\ORDERS.DBF"}));  // before a scan
    EXPECT_NE(orders, nodeTrail({1, 2}, {"Tree", "G:\\APPS\\CUSTOMER.DBF[2]"}));
    const QString bob = nodeTrail({1, 2, 3}, {"Tree", "G:\\APPS\\ORDERS.DBF[2]", "BOB"});
    EXPECT_EQ(bob, nodeTrail({1, 2, 3}, {"Tree", "G:\\APPS\\ORDERS.DBF[1]", "BOB"}));
    EXPECT_NE(bob, nodeTrail({1, 2, 3}, {"Tree", "G:\\APPS\\CUSTOMER.DBF[1]", "BOB"}));
    EXPECT_NE(bob, orders);
    EXPECT_EQ(nodeTrail({1, 2, 3, 4}, {"Tree", "G:\\A.DBF[1]", "BOB", "Task No: 1"}),
              nodeTrail({1, 2, 3, 4}, {"Tree", "G:\\A.DBF[1]", "BOB", "Task No: 2"}));
}

TEST(tickedBySelectAll, LeavesOnlyDetailLines) {
    EXPECT_TRUE(tickedBySelectAll(""));
    EXPECT_TRUE(tickedBySelectAll("1"));
    EXPECT_TRUE(tickedBySelectAll("2,5,1"));
    EXPECT_TRUE(tickedBySelectAll("3,7"));
    EXPECT_FALSE(tickedBySelectAll("4"));
}

struct GroupCase {
    QList<int> levels;
    qsizetype selected;
    QList<qsizetype> ticks;
};

void PrintTo(const GroupCase& c, std::ostream* os) {
    *os << "selected " << c.selected << " of " << c.levels.size();
}

class FileGroupTicksTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(FileGroupTicksTest, TicksTheFileAndItsUsers) {
    const GroupCase& c = GetParam();
    const QList<qsizetype> ticks =
        fileGroupTicks(c.selected, c.levels.size(), [&](qsizetype i) { return c.levels.at(i); });
    EXPECT_EQ(ticks, c.ticks);
}

// root, file, user, detail, detail, user, detail, file, user, detail
const QList<int> kScanned = {1, 2, 3, 4, 4, 3, 4, 2, 3, 4};

INSTANTIATE_TEST_SUITE_P(Cases, FileGroupTicksTest,
                         ::testing::Values(
                             // Stops at the next file, leaves detail lines.
                             GroupCase{kScanned, 1, {1, 2, 5}},
                             // The last file runs to the end of the tree.
                             GroupCase{kScanned, 7, {7, 8}},
                             // Before a scan every later node is a file: only the selected one.
                             GroupCase{{1, 2, 2, 2}, 1, {1}}, GroupCase{{1, 2, 2, 2}, 3, {3}},
                             // A selection outside the tree ticks nothing.
                             GroupCase{{1, 2}, -1, {}}, GroupCase{{1, 2}, 2, {}}));

}  // namespace
}  // namespace tavrel
