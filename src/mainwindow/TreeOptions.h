#pragma once

#include <QtGlobal>

namespace tavrel {

class SettingsStore;

// The tree options kept between runs (application "Tavrel", section "Tree"), each
// 0 or 1.
struct TreeOptions {
    quint8 ButTips = 1;  // tool tips on the command buttons
    quint8 Pictures = 1;
    quint8 PlusMinus = 1;
    quint8 UserDetails = 1;
    quint8 HotTracking = 0;
    quint8 FullRowSelect = 0;
    quint8 ExpandItem = 0;
    quint8 KeepExpanded = 0;  // a scan restores the expansion and selection it found

    bool operator==(const TreeOptions&) const = default;
};

// Reads the options; a missing key gives its default. A stored value that is not a
// number counts as 0 and any other number but 0 as 1, so a damaged store still gives
// options the window can show (saving them repairs it).
TreeOptions loadTreeOptions(SettingsStore& store);

// Writes the options as "0" or "1" in the order ButTips, Pictures, PlusMinus,
// UserDetails, HotTracking, FullRowSelect, ExpandItem, KeepExpanded. False when a write failed.
bool saveTreeOptions(SettingsStore& store, const TreeOptions& options);

// How the tree draws its nodes, numbered as the common tree control numbers its styles:
// tree lines always, plus/minus symbols and pictures as the two options say.
enum class TreeStyle {
    Lines = 4,
    LinesPictures = 5,
    LinesPlusMinus = 6,
    LinesPlusMinusPictures = 7,
};

TreeStyle treeStyleFor(bool pictures, bool plusMinus);
inline bool styleShowsPictures(TreeStyle style) {
    return style == TreeStyle::LinesPictures || style == TreeStyle::LinesPlusMinusPictures;
}
inline bool styleShowsPlusMinus(TreeStyle style) {
    return style == TreeStyle::LinesPlusMinus || style == TreeStyle::LinesPlusMinusPictures;
}

}  // namespace tavrel
