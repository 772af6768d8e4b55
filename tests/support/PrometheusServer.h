#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace tavrel::test {

// A Prometheus server of the test's own: its configuration and storage in a temporary
// folder, listening on 127.0.0.1 and a free port only, scraping one target every second.
// Stopped by its pid when the object goes.
class PrometheusServer {
public:
    // Starts the server scraping http://TARGET/metrics (TARGET as 127.0.0.1:9755); see
    // running() and reason().
    explicit PrometheusServer(const QString& target);
    ~PrometheusServer();

    bool running() const { return m_running; }
    // Why the server is not running: for the message of a skipped test.
    const QString& reason() const { return m_reason; }

    // The value of an instant query that gives one series; none while it gives no series
    // (or several), or on an error.
    std::optional<double> query(const QString& expression) const;
    // Queries until the expression gives the value or timeoutMs passed; the last value seen.
    std::optional<double> waitFor(const QString& expression, double value,
                                  int timeoutMs = 30000) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    bool m_running = false;
    QString m_reason;
};

// An answer to GET path from 127.0.0.1:port: the body, or none when there was none.
std::optional<QByteArray> httpGet(int port, const QString& pathAndQuery);

// A TCP port on 127.0.0.1 that was free a moment ago, as the kernel chose it.
int freeLoopbackPort();

}  // namespace tavrel::test
