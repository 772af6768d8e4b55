#include "monitor/MetricsSnapshot.h"

#include <QMutexLocker>
#include <algorithm>

namespace tavrel {

namespace {

constexpr ScanOutcome kCountedOutcomes[] = {ScanOutcome::Completed, ScanOutcome::EmptyList,
                                            ScanOutcome::ParseFailed, ScanOutcome::Stopped,
                                            ScanOutcome::TimedOut};

// The result label of each way a scan ends.
QString resultName(ScanOutcome outcome) {
    switch (outcome) {
        case ScanOutcome::Completed:
            return QStringLiteral("completed");
        case ScanOutcome::EmptyList:
            return QStringLiteral("empty_list");
        case ScanOutcome::ParseFailed:
            return QStringLiteral("parse_failed");
        case ScanOutcome::Stopped:
            return QStringLiteral("stopped");
        case ScanOutcome::TimedOut:
            return QStringLiteral("timed_out");
        case ScanOutcome::Refused:
            break;
    }
    return QStringLiteral("refused");
}

}  // namespace

MetricsSnapshot::MetricsSnapshot(bool perUser) : m_perUser(perUser) {
    for (const ScanOutcome outcome : kCountedOutcomes) {
        m_scans[outcome] = 0;
    }
    publish();
}

void MetricsSnapshot::scanCompleted(const ScanFileTable& files, const QStringList& descriptions,
                                    const QDateTime& ended) {
    const qint64 endedMs = ended.toMSecsSinceEpoch();
    QHash<QString, QHash<QString, qint64>> starts;
    QList<std::pair<QString, bool>> servers;
    QList<FileMetrics> exported;
    exported.reserve(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        const ScanFileEntry& entry = files[i];
        FileMetrics file;
        file.server = entry.Server;
        file.path = entry.Path;
        file.description = descriptions.value(i);
        file.holders = entry.Connections;
        file.locked = entry.Locked;
        file.found = entry.Found;
        file.scanned = entry.Found && entry.Answered && entry.UsersComplete;

        const QHash<QString, qint64> before = m_holdStarts.value(entry.Path);
        // A scan that could not tell everyone ends nobody's hold: the unseen go on.
        QHash<QString, qint64> held = entry.UsersComplete ? QHash<QString, qint64>() : before;
        for (qsizetype c = 0; c < entry.Connections; ++c) {
            const QString& user = entry.Users[c];
            const qint64 start =
                held.contains(user) ? held.value(user) : before.value(user, endedMs);
            held.insert(user, start);
            const qint64 seconds = std::max<qint64>(0, (endedMs - start) / 1000);
            file.longestHoldSeconds = std::max(file.longestHoldSeconds, seconds);
            auto seen = std::find_if(file.users.begin(), file.users.end(),
                                     [&](const UserMetrics& u) { return u.user == user; });
            if (seen == file.users.end()) {
                file.users.append({user, 1, seconds});
            } else {
                ++seen->connections;
            }
        }
        if (!held.isEmpty()) {
            starts.insert(entry.Path, std::move(held));
        }
        exported.append(std::move(file));

        if (!entry.Server.isEmpty() && entry.Found) {
            auto server = std::find_if(servers.begin(), servers.end(),
                                       [&](const auto& s) { return s.first == entry.Server; });
            if (server == servers.end()) {
                servers.append({entry.Server, entry.Answered});
            } else {
                server->second = server->second || entry.Answered;
            }
        }
    }
    std::sort(servers.begin(), servers.end());
    m_holdStarts = std::move(starts);
    m_metrics.completed = true;
    m_metrics.files = std::move(exported);
    m_metrics.servers = std::move(servers);
    m_metrics.endedSeconds = double(endedMs) / 1000.0;
}

void MetricsSnapshot::scanEnded(ScanOutcome outcome, qint64 durationMs, bool logFailed) {
    if (outcome == ScanOutcome::Refused) {
        return;  // no scan ran
    }
    ++m_scans[outcome];
    if (outcome == ScanOutcome::Completed) {
        m_metrics.durationSeconds = double(durationMs) / 1000.0;
    }
    if (logFailed) {
        ++m_metrics.logStoreFailures;
    }
    publish();
}

void MetricsSnapshot::publish() {
    m_metrics.scansByResult.clear();
    for (const auto& [outcome, count] : m_scans) {
        m_metrics.scansByResult.append({resultName(outcome), count});
    }
    const QByteArray text = metricsExposition(m_metrics, m_perUser);
    const QMutexLocker lock(&m_mutex);
    m_text = text;
}

QByteArray MetricsSnapshot::text() const {
    const QMutexLocker lock(&m_mutex);
    return m_text;
}

}  // namespace tavrel
