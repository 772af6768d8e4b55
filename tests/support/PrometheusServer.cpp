#include "support/PrometheusServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <limits>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QUrl>

namespace tavrel::test {

int freeLoopbackPort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

std::optional<QByteArray> httpGet(int port, const QString& pathAndQuery) {
    // Plain blocking sockets: the figures of the metrics benchmark are the server's, not
    // those of an event-driven client waking for every piece of the answer.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const QByteArray request = "GET " + pathAndQuery.toUtf8() +
                               " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    QByteArray answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        // To the end of the body its Content-Length gives, or to the end of the connection.
        qsizetype end = -1;
        char buffer[65536];
        while (end < 0 || answer.size() < end) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            answer.append(buffer, got);
            const qsizetype headers = answer.indexOf("\r\n\r\n");
            if (end < 0 && headers >= 0) {
                static const QRegularExpression length(
                    QStringLiteral("\r\ncontent-length: *(\\d+)"),
                    QRegularExpression::CaseInsensitiveOption);
                const QRegularExpressionMatch match =
                    length.match(QString::fromLatin1(answer.left(headers + 2)));
                end = match.hasMatch() ? headers + 4 + match.captured(1).toLongLong()
                                       : std::numeric_limits<qsizetype>::max();
            }
        }
    }
    ::close(fd);
    const qsizetype body = answer.indexOf("\r\n\r\n");
    if (!answer.startsWith("HTTP/1.1 200") || body < 0) {
        return std::nullopt;
    }
    return answer.mid(body + 4);
}

PrometheusServer::PrometheusServer(const QString& target) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (program.isEmpty() || !m_dir.isValid()) {
        m_reason = QStringLiteral("Debian's prometheus is not installed (scripts/deps --test)");
        return;
    }
    QFile config(m_dir.filePath(QStringLiteral("prometheus.yml")));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write("global: {scrape_interval: 1s, scrape_timeout: 1s}\n"
                     "scrape_configs:\n"
                     "  - job_name: tavrel\n"
                     "    static_configs: [{targets: ['" +
                     target.toUtf8() + "']}]\n") < 0) {
        m_reason = QStringLiteral("cannot write the configuration");
        return;
    }
    config.close();
    m_port = freeLoopbackPort();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("prometheus.log")));
    m_process.start(
        program, {QStringLiteral("--config.file=") + config.fileName(),
                  QStringLiteral("--storage.tsdb.path=") + m_dir.filePath(QStringLiteral("data")),
                  QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_port)});
    if (!m_process.waitForStarted(10000)) {
        m_reason = QStringLiteral("prometheus did not start: ") + m_process.errorString();
        return;
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000 && m_process.state() == QProcess::Running) {
        if (httpGet(m_port, QStringLiteral("/-/ready"))) {
            m_running = true;
            return;
        }
        QThread::msleep(200);
    }
    QFile log(m_dir.filePath(QStringLiteral("prometheus.log")));
    log.open(QIODevice::ReadOnly);
    m_reason = QStringLiteral("prometheus did not become ready: ") +
               QString::fromUtf8(log.readAll().right(2000));
}

PrometheusServer::~PrometheusServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();  // SIGTERM to the pid started, nothing else
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
}

std::optional<double> PrometheusServer::query(const QString& expression) const {
    const std::optional<QByteArray> body =
        httpGet(m_port, QStringLiteral("/api/v1/query?query=") +
                            QString::fromLatin1(QUrl::toPercentEncoding(expression)));
    if (!body) {
        return std::nullopt;
    }
    const QJsonArray result = QJsonDocument::fromJson(*body)
                                  .object()[QStringLiteral("data")][QStringLiteral("result")]
                                  .toArray();
    if (result.size() != 1) {
        return std::nullopt;
    }
    bool ok = false;
    const double value =
        result[0][QStringLiteral("value")].toArray().at(1).toString().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<double> PrometheusServer::waitFor(const QString& expression, double value,
                                                int timeoutMs) const {
    QElapsedTimer waited;
    waited.start();
    std::optional<double> seen;
    while (waited.elapsed() < timeoutMs) {
        seen = query(expression);
        if (seen == value) {
            break;
        }
        QThread::msleep(250);
    }
    return seen;
}

}  // namespace tavrel::test
