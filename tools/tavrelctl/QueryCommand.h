#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// tavrelctl query "SQL" [--csv|--json], or -f FILE.sql: one statement on the usage log,
// translated and run as the query window runs it, its rows printed. 0 done, 1 the
// statement failed (SQLite's reason on err), 2 bad usage or no usable log.
int runQueryCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
