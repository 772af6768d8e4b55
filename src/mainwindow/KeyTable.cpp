#include "mainwindow/KeyTable.h"

namespace tavrel {

KeyCommand keyCommandFor(int keyCode, int shift) {
    if (shift != 0) {
        return KeyCommand::None;
    }
    switch (keyCode) {
        case 45:
            return KeyCommand::AddFile;
        case 46:
            return KeyCommand::DeleteFile;
        case 112:
            return KeyCommand::Help;
        case 113:
            return KeyCommand::ScanOrStop;
        case 114:
            return KeyCommand::Expand;
        case 115:
            return KeyCommand::EditFile;
        case 116:
            return KeyCommand::Find;
        case 117:
            return KeyCommand::FindNext;
        case 118:
            return KeyCommand::Database;
        case 119:
            return KeyCommand::Details;
        default:
            return KeyCommand::None;
    }
}

KeyCommand keyPressCommandFor(int keyAscii, int shift) {
    return keyAscii == 27 && shift == 0 ? KeyCommand::Exit : KeyCommand::None;
}

}  // namespace tavrel
