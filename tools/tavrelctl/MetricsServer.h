#pragma once

#include <QHostAddress>
#include <QString>
#include <QThread>

class QHttpServer;

namespace tavrel {

class MetricsSnapshot;

// Where to serve the metrics: ADDRESS:PORT with an IP address (127.0.0.1:9755,
// [::1]:9755; 0.0.0.0 or [::] for every interface). Port 0 lets the system choose one.
// False, with the reason in *problem, for anything else.
bool parseListenAddress(const QString& text, QHostAddress* address, quint16* port,
                        QString* problem);

// Answers GET /metrics with the snapshot's text, from a thread of its own, so a scrape is
// answered during a scan and never waits for it.
class MetricsServer {
public:
    explicit MetricsServer(const MetricsSnapshot& snapshot);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens on address and port; "" or why it could not (a port in use, say).
    QString listen(const QHostAddress& address, quint16 port);
    // The address served, as a URL of the metrics.
    QString url() const;

private:
    const MetricsSnapshot& m_snapshot;
    QThread m_thread;
    QObject* m_home = nullptr;  // lives in m_thread: the server is made and ended there
    QHttpServer* m_server = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
};

}  // namespace tavrel
