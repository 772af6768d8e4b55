#include "support/PrometheusServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

namespace tavrel::test {

int freeLoopbackPort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

std::optional<QByteArray> httpGet(int port, const QString& pathAndQuery) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket.waitForConnected(2000)) {
        return std::nullopt;
    }
    socket.write("GET " + pathAndQuery.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                 "Connection: close\r\n\r\n");
    // Read to the end of the body its Content-Length gives, or to the end of the connection.
    QByteArray answer;
    qsizetype end = -1;
    while (end < 0 || answer.size() < end) {
        if (!socket.waitForReadyRead(5000)) {
            break;
        }
        answer += socket.readAll();
        const qsizetype headers = answer.indexOf("\r\n\r\n");
        if (end < 0 && headers >= 0) {
            static const QRegularExpression length(QStringLiteral("\r\ncontent-length: *(\\d+)"),
                                                   QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch match =
                length.match(QString::fromLatin1(answer.left(headers + 2)));
            if (match.hasMatch()) {
                end = headers + 4 + match.captured(1).toLongLong();
            }
        }
    }
    const qsizetype body = answer.indexOf("\r\n\r\n");
    if (!answer.startsWith("HTTP/1.1 200") || body < 0 || (end >= 0 && answer.size() < end)) {
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
