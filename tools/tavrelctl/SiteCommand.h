#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// tavrelctl site ...: shows and edits the emulated site file the program reads (log users
// in and out, open and close files, set locks and faults, read broadcast messages).
// args are the words after "site". Returns the exit status: 0 done, 1 refused (nothing
// changed), 2 bad usage.
int runSiteCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// The usage text of the site commands.
QString siteUsage();

}  // namespace tavrel
