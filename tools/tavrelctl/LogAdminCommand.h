#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// True when the arguments of "tavrelctl log" name one of the log's own subcommands
// (location, migrate) rather than the scan.
bool isLogAdminCommand(const QStringList& args);

// tavrelctl log location [URI|default] and tavrelctl log migrate --to URI.
int runLogAdminCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
