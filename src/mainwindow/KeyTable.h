#pragma once

namespace tavrel {

// The main window's command keys, by the key codes of the keyboard (Ins 45, Del 46,
// F1 112 ... F8 119), each acting on the key going down.
enum class KeyCommand {
    None,
    AddFile,     // Ins, when Add File is shown
    DeleteFile,  // Del, when Delete File is shown
    Help,        // F1: the FAQ
    ScanOrStop,  // F2: Scan when shown, else Stop when shown
    Expand,      // F3
    EditFile,    // F4
    Find,        // F5
    FindNext,    // F6
    Database,    // F7, always
    Details,     // F8, always
    Exit,        // Esc, typed
};

inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;

// The command of a key going down; a key with Shift, Ctrl or Alt held has none.
KeyCommand keyCommandFor(int keyCode, int shift);
// The command of a typed character: Esc (27) closes the window, unless Shift, Ctrl or Alt
// is held.
KeyCommand keyPressCommandFor(int keyAscii, int shift);
// Whether a command acts while a scan runs: only the one that stops it (F2, Stop shown).
// A window opened at the scan's yield would hold the scan until its time-out.
inline bool actsDuringScan(KeyCommand command) {
    return command == KeyCommand::ScanOrStop;
}

}  // namespace tavrel
