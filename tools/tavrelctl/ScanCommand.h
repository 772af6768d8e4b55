#pragma once

#include <QStringList>
#include <QTextStream>

namespace tavrel {

// tavrelctl scan [--no-details] [--json]: one scan, printed as the tree shows it.
// 0 when the scan ended normally, 1 otherwise, 2 bad usage.
int runScanCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// tavrelctl log: one scan and the usage log update, as an automatic scan storing its
// results does. 0 done, 1 the scan did not end normally, 2 the log was not updated.
int runLogCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// tavrelctl watch [--interval SECONDS] [--store] [--metrics ADDRESS:PORT
// [--metrics-users]]: auto scan without a window, one line a scan, until SIGINT or
// SIGTERM, serving the metrics of the last completed scan. 0 ended by a signal, 1 a scan
// timed out (which ends auto scan), 2 bad usage, no network or the metrics not served.
int runWatchCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// tavrelctl wait FILE [--timeout SECONDS] [--interval SECONDS]: scans until no user holds
// FILE. 0 free, 1 timed out or interrupted (the holders on err), 2 bad usage or an error.
int runWaitCommand(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace tavrel
