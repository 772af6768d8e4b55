#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

namespace tavrel {

// One user holding a monitored file: the connections of that user on it and how long the
// longest of them has been seen holding it.
struct UserMetrics {
    QString user;
    int connections = 0;
    qint64 holdSeconds = 0;
};

// One monitored file as the last completed scan saw it.
struct FileMetrics {
    QString server;
    QString path;
    QString description;
    int holders = 0;  // connections holding it open
    bool locked = false;
    bool scanned = false;  // the server told who holds it, every holder named
    bool found = true;
    qint64 longestHoldSeconds = 0;
    QList<UserMetrics> users;
};

// What the monitoring exports: the last completed scan (when there is one) and the
// counters of every scan since the program started.
struct ScanMetrics {
    bool completed = false;  // a scan has completed: the file and server series exist
    QList<FileMetrics> files;
    QList<std::pair<QString, bool>> servers;  // name, read
    double durationSeconds = 0;
    double endedSeconds = 0;  // since the Unix epoch
    QList<std::pair<QString, quint64>> scansByResult;
    quint64 logStoreFailures = 0;
};

// The Prometheus text exposition (format 0.0.4) of the metrics; the per-user series only
// with perUser, as they grow with every user.
QByteArray metricsExposition(const ScanMetrics& metrics, bool perUser);

// The content type a scrape is answered with.
inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace tavrel
