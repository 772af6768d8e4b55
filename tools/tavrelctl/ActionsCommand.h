#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// tavrelctl actions: the journal of the operator's actions, newest first.
int runActionsCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
