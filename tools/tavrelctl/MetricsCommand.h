#pragma once

#include <QStringList>
#include <QTextStream>
#include <memory>
#include <optional>

#include "monitor/MetricsSnapshot.h"

namespace tavrel {

class AppContext;
class CommandArgs;
class MetricsEndpoint;
class ScanCycle;

// tavrelctl metrics [--users] [--textfile PATH]: one scan, its metrics in the Prometheus
// text format on out or, atomically, in PATH. 0 when the scan ended normally, 1 otherwise
// (the metrics say how it ended), 2 bad usage, no network or PATH not written.
int runMetricsCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// Keeps the snapshot up to date with every scan the cycle completes.
void feedMetrics(MetricsSnapshot& snapshot, ScanCycle& cycle, AppContext& context);

// What --metrics ADDRESS:PORT [--metrics-users] adds to tavrelctl watch: the snapshot of
// the last completed scan, served for scrapes. Without --metrics it does nothing.
class WatchMetrics {
public:
    WatchMetrics();
    ~WatchMetrics();

    // Serves the metrics where args say, and prints the address on out; false, with the
    // reason on err, when the address is no address or cannot be served.
    bool start(const CommandArgs& args, ScanCycle& cycle, AppContext& context, QTextStream& out,
               QTextStream& err);
    void scanEnded(ScanOutcome outcome, qint64 durationMs, bool logFailed);

private:
    std::optional<MetricsSnapshot> m_snapshot;
    std::unique_ptr<MetricsEndpoint> m_server;
};

}  // namespace tavrel
