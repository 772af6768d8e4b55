#include <gtest/gtest.h>

#include "mainwindow/PopupRules.h"

namespace tavrel {
namespace {

// Items in menu order: Details, All, None, File, FileNone, Send, SendSel, Clear,
// ClearSel, Unlock, UnlockAll, Notify.
PopupItems items(const char* shown) {
    const auto on = [&](int i) { return shown[i] == 'Y'; };
    return PopupItems{on(0), on(1), on(2), on(3), on(4),  on(5),
                      on(6), on(7), on(8), on(9), on(10), on(11)};
}

TEST(PopupItems, FollowTheLevelOfTheNode) {
    EXPECT_EQ(popupItemsFor(1, true), items("-YY---Y-Y-Y-"));
    EXPECT_EQ(popupItemsFor(2, true), items("YYYYY-Y-YYYY"));
    EXPECT_EQ(popupItemsFor(2, false), items("-YYYY-Y-YYYY"));
    EXPECT_EQ(popupItemsFor(3, true), items("-YY--YYYY-Y-"));
    EXPECT_EQ(popupItemsFor(4, true), items("-YY---Y-Y-Y-"));
}

TEST(PopupItems, NoMenuForANodeOfNoLevel) {
    EXPECT_FALSE(popupItemsFor(0, true).has_value());
    EXPECT_FALSE(popupItemsFor(5, true).has_value());
}

TEST(EditButtons, ShowForAFileUnlessAutoScanRuns) {
    EXPECT_EQ(editButtonsFor(2, false), EditButtons::Show);
    EXPECT_EQ(editButtonsFor(2, true), EditButtons::Keep);
    for (int level : {1, 3, 4}) {
        EXPECT_EQ(editButtonsFor(level, false), EditButtons::Hide);
        EXPECT_EQ(editButtonsFor(level, true), EditButtons::Hide);
    }
    EXPECT_EQ(editButtonsFor(0, false), EditButtons::Keep);
}

}  // namespace
}  // namespace tavrel
