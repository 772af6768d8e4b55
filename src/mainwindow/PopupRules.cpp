#include "mainwindow/PopupRules.h"

#include "mainwindow/TreeNodeRules.h"

namespace tavrel {

std::optional<PopupItems> popupItemsFor(int level, bool fileExists) {
    if (level < kRootLevel || level > kDetailLevel) {
        return std::nullopt;
    }
    PopupItems items;
    // Group actions work from any node.
    items.All = true;
    items.None = true;
    items.SendSel = true;
    items.ClearSel = true;
    items.UnlockAll = true;
    if (level == kFileLevel) {
        items.Details = fileExists;
        items.File = true;
        items.FileNone = true;
        items.Unlock = true;
        items.Notify = true;
    } else if (level == kUserLevel) {
        items.Send = true;
        items.Clear = true;
    }
    return items;
}

EditButtons editButtonsFor(int level, bool autoScanOn) {
    switch (level) {
        case kFileLevel:
            return autoScanOn ? EditButtons::Keep : EditButtons::Show;
        case kRootLevel:
        case kUserLevel:
        case kDetailLevel:
            return EditButtons::Hide;
        default:
            return EditButtons::Keep;
    }
}

}  // namespace tavrel
