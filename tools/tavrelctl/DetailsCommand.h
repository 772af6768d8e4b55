#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// tavrelctl details DATE [--json]: one day of the usage log, each row with its stays.
// 0 rows printed, 1 no data (or no log), 2 bad usage or an invalid date.
int runDetailsCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
