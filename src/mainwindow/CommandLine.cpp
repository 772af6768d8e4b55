#include "mainwindow/CommandLine.h"

namespace tavrel {

QString commandLineText(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

StartupSwitch startupSwitchOf(const QString& commandLine) {
    const QString argument = commandLine.trimmed();
    if (argument.isEmpty() || argument == QLatin1String("/p")) {
        return StartupSwitch::None;
    }
    const QString ending = argument.right(2).toLower();
    if (ending == QLatin1String("-t")) {
        return StartupSwitch::AutoScan;
    }
    if (ending == QLatin1String("-d")) {
        return StartupSwitch::AutoScanAndStore;
    }
    return StartupSwitch::None;
}

}  // namespace tavrel
