#include <gtest/gtest.h>

#include "mainwindow/FindRules.h"

namespace tavrel {
namespace {

FindSettings search(FindSettings::Kind kind, const char* target, bool partial, bool caseSensitive) {
    FindSettings s;
    s.kind = kind;
    s.target = target;
    s.partial = partial;
    s.caseSensitive = caseSensitive;
    return s;
}

TEST(FindRules, MatchTheKindOfNodeByItsText) {
    using K = FindSettings::Kind;
    struct Case {
        FindSettings settings;
        int level;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        // A file node's count suffix is left out; partial finds a part anywhere.
        {search(K::Files, "ORDERS", true, false), 2, "G:\\DATA\\ORDERS.DBF[3]", true},
        {search(K::Files, "ORDERS", false, false), 2, "G:\\DATA\\ORDERS.DBF[3]", false},
        {search(K::Files, "G:\\DATA\\ORDERS.DBF", false, false), 2, "G:\\DATA\\ORDERS.DBF[3]",
         true},
        {search(K::Files, " g:\\data\\orders.dbf ", false, false), 2, "G:\\DATA\\ORDERS.DBF", true},
        {search(K::Files, "3", true, false), 2, "G:\\DATA\\ORDERS.DBF[3]", false},
        {search(K::Files, "orders", true, true), 2, "G:\\DATA\\ORDERS.DBF", false},
        // Only nodes of the kind searched for.
        {search(K::Files, "ALICE", true, false), 3, "ALICE", false},
        {search(K::Users, "ORDERS", true, false), 2, "G:\\ORDERS.DBF", false},
        {search(K::Users, "Tree", true, false), 1, "Tree", false},
        // User nodes are taken whole, "[" and all.
        {search(K::Users, "alice", false, false), 3, "ALICE", true},
        {search(K::Users, "alice", false, true), 3, "ALICE", false},
        {search(K::Users, "LIC", true, true), 3, "ALICE", true},
        {search(K::Users, "X[1", true, false), 3, "X[1]", true},
        // An empty target is in every text, and equal only to an empty one.
        {search(K::Users, "", true, false), 3, "BOB", true},
        {search(K::Users, "", false, false), 3, "BOB", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findMatches(c.settings, c.level, c.text), c.matches)
            << c.settings.target.toStdString() << " in " << c.text;
    }
}

TEST(FindRules, TheWalkStartsWhereToldAndDoesNotWrap) {
    const std::vector<std::pair<int, QString>> nodes = {
        {1, "Tree"}, {2, "G:\\A.DBF[1]"}, {3, "ALICE"}, {2, "G:\\B.DBF[1]"}, {3, "ALICE"}};
    const auto at = [&](qsizetype i) { return nodes[std::size_t(i)]; };
    const FindSettings alice = search(FindSettings::Kind::Users, "alice", true, false);
    EXPECT_EQ(findNode(alice, 0, 5, at), 2);
    EXPECT_EQ(findNode(alice, 3, 5, at), 4);
    EXPECT_EQ(findNode(alice, 5, 5, at), -1);
}

TEST(FindRules, FindNeedsMoreThanBlanks) {
    EXPECT_FALSE(findTextSearchable(""));
    EXPECT_FALSE(findTextSearchable("   "));
    EXPECT_TRUE(findTextSearchable(" a "));
    EXPECT_EQ(findLabelFor(FindSettings::Kind::Users), "User to find");
    EXPECT_EQ(findLabelFor(FindSettings::Kind::Files), "File to find");
}

}  // namespace
}  // namespace tavrel
