#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// tavrelctl info PATH [--json]: the extended information of a file, as the information
// window shows and copies it.
int runInfoCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
