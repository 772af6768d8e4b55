#pragma once

#include <QString>
#include <functional>

#include "monitor/ScanFiles.h"

namespace tavrel {

class AppContext;
class ScanView;

// What a scan reads once at its start.
struct ScanOptions {
    bool PicturesOption = true;
    bool UserDetailsOption = true;
    bool autoScanChecked = false;  // ckAutoScan
    bool storeChecked = false;     // ckDatabase ("Store Scan Results")
};

// How a scan ended.
enum class ScanOutcome {
    Completed,    // normal end: tree built, TreeScanned set
    EmptyList,    // no monitored files; tree untouched
    ParseFailed,  // a path is not on a file server; scan ended there
    Stopped,      // Stop pressed
    TimedOut,     // 120 seconds passed
    Refused,      // a scan was already running
};

// One scan (cmdScan_Click): reads the monitored file list, asks each file's server for
// the connections using it, rebuilds the tree through the view, keeps ScanFiles and,
// when auto scan and "Store Scan Results" are both on, hands it to the log update.
class ScanCycle {
public:
    // Brings the usage log up to date with a finished scan; returns "" on success or why
    // the log was not updated (shown after the final "Idle").
    using LogUpdate = std::function<QString(const ScanFileTable& scanFiles)>;

    ScanCycle(AppContext& context, ScanView& view);

    ScanOutcome cmdScan_Click(const ScanOptions& options);
    // Asks the running scan to end at its next check; outside a scan it does nothing.
    void cmdStop_Click() {
        if (m_running) {
            m_stopRequested = true;
        }
    }

    bool running() const { return m_running; }
    bool StopRequested() const { return m_stopRequested; }
    // The table of the last scan; erased at a normal end, kept after an abort.
    const ScanFileTable& ScanFiles() const { return m_scanFiles; }
    void setLogUpdate(LogUpdate update) { m_logUpdate = std::move(update); }
    // Runs with the table of every scan that ends normally, after the log update and
    // before the final status.
    using Finished = std::function<void(const ScanFileTable& scanFiles)>;
    void setFinished(Finished finished) { m_finished = std::move(finished); }

    static constexpr qint64 kTimeLimitMs = 120 * 1000;

private:
    ScanOutcome scan(const ScanOptions& options);

    AppContext& m_context;
    ScanView& m_view;
    LogUpdate m_logUpdate;
    Finished m_finished;
    ScanFileTable m_scanFiles;
    bool m_stopRequested = false;
    bool m_running = false;
};

}  // namespace tavrel
