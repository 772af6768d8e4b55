#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// tavrelctl files list | add PATH [DESCRIPTION] | delete N: the monitored file list, with
// the file editor's rules. Returns 0 done, 1 refused (nothing written), 2 bad usage.
int runFilesCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
