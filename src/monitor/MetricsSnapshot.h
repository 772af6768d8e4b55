#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QStringList>
#include <map>

#include "monitor/MetricsText.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanFiles.h"

namespace tavrel {

// The metrics of a program that scans again and again, kept ready for scrapes: each scan
// that ends updates them, and a scrape, from any thread, only takes the text the last one
// left. A scrape never waits for a scan, nor starts one.
//
// A hold is timed from the first scan that saw the user holding the file; a scan that
// could not tell everyone who holds a file ends none of its holds.
class MetricsSnapshot {
public:
    explicit MetricsSnapshot(bool perUser = false);

    // A scan that ended normally (ScanCycle's finished hook): its table, the description
    // of each of its files (by position) and when it ended.
    void scanCompleted(const ScanFileTable& files, const QStringList& descriptions,
                       const QDateTime& ended);
    // Any scan's end, counted by how it ended, with how long it ran; logFailed when its
    // results were to be stored and could not be. The scrapes see the change from here.
    void scanEnded(ScanOutcome outcome, qint64 durationMs, bool logFailed);

    QByteArray text() const;

private:
    void publish();

    bool m_perUser;
    ScanMetrics m_metrics;
    std::map<ScanOutcome, quint64> m_scans;
    // When each hold was first seen (ms since the epoch): by file path, then by user.
    QHash<QString, QHash<QString, qint64>> m_holdStarts;
    mutable QMutex m_mutex;
    QByteArray m_text;
};

}  // namespace tavrel
