#pragma once

#include <QString>
#include <QStringList>

namespace tavrel {

// What the one-argument command line asks of start-up.
enum class StartupSwitch {
    None,
    AutoScan,          // "-t" at its end: auto scan on, then one scan
    AutoScanAndStore,  // "-d" at its end: the same with "Store Scan Results" on
};

// The argument text of the command line: the arguments after the program's name joined
// by blanks, as one text.
QString commandLineText(const QStringList& arguments);

// The switch an argument text ends in. Blanks around it are ignored and the switch is
// matched without regard to case, only at the very end; "" and "/p" ask for nothing.
StartupSwitch startupSwitchOf(const QString& commandLine);

}  // namespace tavrel
