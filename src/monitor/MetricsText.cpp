#include "monitor/MetricsText.h"

namespace tavrel {

namespace {

// A label value as the exposition format quotes it: backslash, double quote and line
// feed escaped.
void appendEscaped(QByteArray& out, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    for (const char c : utf8) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
}

void appendLabel(QByteArray& out, const char* name, const QString& value) {
    out += name;
    out += "=\"";
    appendEscaped(out, value);
    out += '"';
}

void appendHeader(QByteArray& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

// One sample: the name, the labels as already written ("" for none) and the value.
void appendSample(QByteArray& out, const char* name, const QByteArray& labels,
                  const QByteArray& value) {
    out += name;
    if (!labels.isEmpty()) {
        out += '{';
        out += labels;
        out += '}';
    }
    out += ' ';
    out += value;
    out += '\n';
}

QByteArray number(qint64 value) {
    return QByteArray::number(value);
}

QByteArray seconds(double value) {
    return QByteArray::number(value, 'f', 3);
}

QByteArray fileLabels(const FileMetrics& file) {
    QByteArray labels;
    appendLabel(labels, "server", file.server);
    labels += ',';
    appendLabel(labels, "file", file.path);
    labels += ',';
    appendLabel(labels, "description", file.description);
    return labels;
}

// One gauge a file, from the value each file gives.
template <typename Value>
void appendFileGauge(QByteArray& out, const QList<QByteArray>& labels, const ScanMetrics& metrics,
                     const char* name, const char* help, Value value) {
    appendHeader(out, name, "gauge", help);
    for (qsizetype i = 0; i < metrics.files.size(); ++i) {
        appendSample(out, name, labels[i], number(value(metrics.files[i])));
    }
}

template <typename Value>
void appendUserGauge(QByteArray& out, const QList<QByteArray>& labels, const ScanMetrics& metrics,
                     const char* name, const char* help, Value value) {
    appendHeader(out, name, "gauge", help);
    for (qsizetype i = 0; i < metrics.files.size(); ++i) {
        for (const UserMetrics& user : metrics.files[i].users) {
            QByteArray userLabels = labels[i] + ',';
            appendLabel(userLabels, "user", user.user);
            appendSample(out, name, userLabels, number(value(user)));
        }
    }
}

}  // namespace

QByteArray metricsExposition(const ScanMetrics& metrics, bool perUser) {
    QByteArray out;
    out.reserve(1024 + metrics.files.size() * 1024);

    // The files first, as a reader of the first lines wants them; the counters, which
    // exist before any scan completed, last.
    if (metrics.completed) {
        QList<QByteArray> labels;
        labels.reserve(metrics.files.size());
        for (const FileMetrics& file : metrics.files) {
            labels.append(fileLabels(file));
        }
        appendFileGauge(out, labels, metrics, "tavrel_file_holders",
                        "Connections holding the monitored file open.",
                        [](const FileMetrics& f) { return f.holders; });
        appendFileGauge(out, labels, metrics, "tavrel_file_locked",
                        "1 when a connection holding the file has it locked.",
                        [](const FileMetrics& f) { return f.locked ? 1 : 0; });
        appendFileGauge(
            out, labels, metrics, "tavrel_file_scan_success",
            "1 when the scan could ask the server who holds the file and name them all.",
            [](const FileMetrics& f) { return f.scanned ? 1 : 0; });
        appendFileGauge(out, labels, metrics, "tavrel_file_found",
                        "1 when the monitored file exists.",
                        [](const FileMetrics& f) { return f.found ? 1 : 0; });
        appendFileGauge(out, labels, metrics, "tavrel_file_longest_hold_seconds",
                        "How long the longest current holder has been seen holding the file.",
                        [](const FileMetrics& f) { return f.longestHoldSeconds; });
        if (perUser) {
            appendUserGauge(out, labels, metrics, "tavrel_user_holders",
                            "Connections of the user holding the monitored file open.",
                            [](const UserMetrics& u) { return u.connections; });
            appendUserGauge(out, labels, metrics, "tavrel_user_hold_seconds",
                            "How long the user has been seen holding the file.",
                            [](const UserMetrics& u) { return u.holdSeconds; });
        }

        appendHeader(out, "tavrel_scan_duration_seconds", "gauge",
                     "How long the last completed scan took.");
        appendSample(out, "tavrel_scan_duration_seconds", QByteArray(),
                     seconds(metrics.durationSeconds));
        appendHeader(out, "tavrel_last_scan_timestamp_seconds", "gauge",
                     "When the last completed scan ended, in seconds since the Unix epoch.");
        appendSample(out, "tavrel_last_scan_timestamp_seconds", QByteArray(),
                     seconds(metrics.endedSeconds));

        appendHeader(out, "tavrel_server_up", "gauge",
                     "1 when the server answered the last completed scan, 0 when it could not be "
                     "read.");
        for (const auto& [server, read] : metrics.servers) {
            QByteArray serverLabel;
            appendLabel(serverLabel, "server", server);
            appendSample(out, "tavrel_server_up", serverLabel, read ? "1" : "0");
        }
    }
    appendHeader(out, "tavrel_scans_total", "counter",
                 "Scans since the program started, by result.");
    for (const auto& [result, count] : metrics.scansByResult) {
        QByteArray labels;
        appendLabel(labels, "result", result);
        appendSample(out, "tavrel_scans_total", labels, number(qint64(count)));
    }
    appendHeader(out, "tavrel_log_store_failures_total", "counter",
                 "Completed scans whose results could not be stored in the usage log.");
    appendSample(out, "tavrel_log_store_failures_total", QByteArray(),
                 number(qint64(metrics.logStoreFailures)));
    return out;
}

}  // namespace tavrel
