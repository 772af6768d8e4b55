#include "MetricsServer.h"

#include <QHttpServer>
#include <QHttpServerResponse>
#include <QTcpServer>

#include "monitor/MetricsText.h"

namespace tavrel {

namespace {

bool parseListenAddress(const QString& text, QHostAddress* address, quint16* port,
                        QString* problem) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon < 0 ? QString() : text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    } else if (host.contains(QLatin1Char(':'))) {
        host.clear();  // an IPv6 address goes in brackets
    }
    bool numeric = false;
    const uint number = text.mid(colon + 1).toUInt(&numeric);
    if (host.isEmpty() || !address->setAddress(host) || !numeric || number > 65535) {
        *problem = QStringLiteral(
                       "--metrics takes ADDRESS:PORT with an IP address, as "
                       "127.0.0.1:9755 or [::1]:9755, not ") +
                   text;
        return false;
    }
    *port = quint16(number);
    return true;
}

}  // namespace

MetricsServer::MetricsServer(std::function<QByteArray()> text) : m_text(std::move(text)) {}

MetricsServer::~MetricsServer() {
    if (!m_thread.isRunning()) {
        return;
    }
    QMetaObject::invokeMethod(
        m_home, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_home;
}

bool MetricsServer::setAddress(const QString& text, QString* problem) {
    return parseListenAddress(text, &m_address, &m_port, problem);
}

QString MetricsServer::listen() {
    m_home = new QObject;
    m_home->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("metrics"));
    m_thread.start();
    QString problem;
    QMetaObject::invokeMethod(
        m_home,
        [&] {
            m_server = new QHttpServer;
            m_server->route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get,
                            [this](const QHttpServerRequest&) {
                                return QHttpServerResponse(kMetricsContentType, m_text());
                            });
            auto* tcp = new QTcpServer(m_server);
            if (!tcp->listen(m_address, m_port)) {
                problem = tcp->errorString();
                return;
            }
            m_address = tcp->serverAddress();
            m_port = tcp->serverPort();
            m_server->bind(tcp);
        },
        Qt::BlockingQueuedConnection);
    return problem;
}

QString MetricsServer::url() const {
    const QString host = m_address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + m_address.toString() + QLatin1Char(']')
                             : m_address.toString();
    return QStringLiteral("http://%1:%2/metrics").arg(host).arg(m_port);
}

}  // namespace tavrel

tavrel::MetricsEndpoint* tavrelMetricsEndpoint(std::function<QByteArray()>* text) {
    return new tavrel::MetricsServer(std::move(*text));
}
