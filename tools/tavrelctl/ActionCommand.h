#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// The tree's user actions for scripts, on the same rules as the window's popup menu.
// Each returns the exit status: 0 done, 1 an action failed, 2 bad usage, no network, or
// (message, clear) a scan that did not complete.

// tavrelctl message FILE|--all TEXT [--json]
int runMessageCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// tavrelctl clear FILE [USER] [--yes] [--json]: without --yes only lists.
int runClearCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// tavrelctl unlock FILE [--json]
int runUnlockCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// tavrelctl unlock-all [FILE] [--json]
int runUnlockAllCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
