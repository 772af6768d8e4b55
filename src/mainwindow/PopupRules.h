#pragma once

#include <optional>

namespace tavrel {

// Which items of the tree's popup menu a right-click shows, in menu order.
struct PopupItems {
    bool Details = false;    // mnuPopupDetails
    bool All = false;        // mnuPopupAll
    bool None = false;       // mnuPopupNone
    bool File = false;       // mnuPopupFile
    bool FileNone = false;   // mnuPopupFileNone
    bool Send = false;       // mnuPopupSend
    bool SendSel = false;    // mnuPopupSendSel
    bool Clear = false;      // mnuPopupClear
    bool ClearSel = false;   // mnuPopupClearSel
    bool Unlock = false;     // mnuPopupUnlock
    bool UnlockAll = false;  // mnuPopupUnlockAll
    bool Notify = false;     // mnuPopupNotify ("Notify When Free")

    bool operator==(const PopupItems&) const = default;
};

// The items for a right-clicked node of the level given; fileExists matters for a file
// node only. No value for a level that names no node (the menu is not opened).
std::optional<PopupItems> popupItemsFor(int level, bool fileExists);

// What a click on a node does to the Edit File and Delete File buttons.
enum class EditButtons { Show, Hide, Keep };

// A file node shows them unless auto scan runs (the list cannot change then); the root,
// a user or a detail line hides them; an unknown level leaves them.
EditButtons editButtonsFor(int level, bool autoScanOn);

}  // namespace tavrel
