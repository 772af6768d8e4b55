#include "support/PostgresServer.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>

#include "external/logdb/LogDb.h"
#include "support/PrometheusServer.h"

namespace tavrel::test {

namespace {

std::unique_ptr<PostgresServer>& sharedServer() {
    static std::unique_ptr<PostgresServer> server;
    return server;
}

QString findBinaries() {
    const QString fromEnvironment = qEnvironmentVariable("TAVREL_PG_BIN");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    const QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        const QString bin = versions.filePath(*it + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable()) {
            return bin;
        }
    }
    return QString();
}

}  // namespace

PostgresServer& PostgresServer::shared(bool durable) {
    std::unique_ptr<PostgresServer>& server = sharedServer();
    if (!server) {
        server.reset(new PostgresServer(durable));
    }
    return *server;
}

void PostgresServer::stopShared() {
    sharedServer().reset();
}

PostgresServer::PostgresServer(bool durable) : m_durable(durable) {
    m_bin = findBinaries();
    if (m_bin.isEmpty() || !QFileInfo(m_bin + QStringLiteral("/pg_ctl")).isExecutable()) {
        m_reason = QStringLiteral("no PostgreSQL binaries (install postgresql)");
        return;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_reason = QStringLiteral("Qt's QPSQL driver is missing (install libqt6sql6-psql)");
        return;
    }
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tavrel-pg-XXXXXX"));
    if (!m_dir->isValid()) {
        m_reason = QStringLiteral("no temporary folder");
        return;
    }
    m_data = m_dir->path() + QStringLiteral("/data");
    // The server refuses to run as root: it runs as postgres, in a folder of its own.
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres) {
        const passwd* postgres = ::getpwnam("postgres");
        if (postgres == nullptr || ::chown(m_dir->path().toLocal8Bit().constData(),
                                           postgres->pw_uid, postgres->pw_gid) != 0) {
            m_reason = QStringLiteral("running as root without a postgres user to run the server");
            return;
        }
    }
    QString output;
    const QString pristine = templateCluster(&output);
    if (pristine.isEmpty()) {
        m_reason = QStringLiteral("initdb failed: ") + output.trimmed();
        return;
    }
    if (!run({QStringLiteral("cp"), QStringLiteral("-a"), pristine, m_data}, &output)) {
        m_reason = QStringLiteral("copying the cluster failed: ") + output.trimmed();
        return;
    }
    start();
}

QString PostgresServer::templateCluster(QString* output) {
    // initdb takes two seconds and every test runs in a process of its own: the cluster it
    // makes is made once per machine and user, never started, and copied for each server.
    const QString folder =
        QDir::tempPath() + QStringLiteral("/tavrel-pg-template-%1-%2")
                               .arg(::geteuid())
                               .arg(QFileInfo(QFileInfo(m_bin).path()).fileName());
    const QString data = folder + QStringLiteral("/data");
    const QString ready = folder + QStringLiteral("/ready");
    QLockFile lock(folder + QStringLiteral(".lock"));
    lock.setStaleLockTime(120000);
    if (!lock.lock()) {
        *output = QStringLiteral("the template's lock cannot be taken");
        return QString();
    }
    if (QFileInfo::exists(ready)) {
        return data;
    }
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder)) {
        *output = QStringLiteral("no folder for the template");
        return QString();
    }
    if (m_asPostgres) {
        const passwd* postgres = ::getpwnam("postgres");
        if (::chown(folder.toLocal8Bit().constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            *output = QStringLiteral("the template's folder cannot be given to postgres");
            return QString();
        }
    }
    if (!run({m_bin + QStringLiteral("/initdb"), QStringLiteral("-D"), data, QStringLiteral("-A"),
              QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("tavrel"),
              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")},
             output)) {
        return QString();
    }
    QFile marker(ready);
    return marker.open(QIODevice::WriteOnly) ? data : QString();
}

PostgresServer::~PostgresServer() {
    stop();
}

bool PostgresServer::run(const QStringList& command, QString* output) {
    QStringList arguments = command;
    QString program = arguments.takeFirst();
    if (m_asPostgres) {
        arguments = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                QStringLiteral("--"), program} +
                    arguments;
        program = QStringLiteral("runuser");
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(60000);
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(process.readAll());
    }
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PostgresServer::start() {
    if (m_running) {
        return true;
    }
    if (m_port == 0) {
        m_port = freeLoopbackPort();
    }
    QString options =
        QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1").arg(m_port).arg(m_dir->path());
    if (!m_durable) {
        // A test server: durability traded for speed.
        options +=
            QStringLiteral(" -c fsync=off -c full_page_writes=off -c synchronous_commit=off");
    }
    QString output;
    m_running =
        run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_data, QStringLiteral("-o"),
             options, QStringLiteral("-l"), m_dir->path() + QStringLiteral("/server.log"),
             QStringLiteral("-w"), QStringLiteral("start")},
            &output);
    if (!m_running) {
        m_reason = QStringLiteral("pg_ctl start failed: ") + output.trimmed();
    }
    return m_running;
}

bool PostgresServer::stop() {
    if (!m_running) {
        return true;
    }
    m_running =
        !run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_data, QStringLiteral("-m"),
              QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    return !m_running;
}

QString PostgresServer::uri(const QString& database) const {
    return QStringLiteral("postgresql://tavrel@127.0.0.1:%1/%2").arg(m_port).arg(database);
}

QString PostgresServer::newDatabase() {
    if (!m_running) {
        return QString();
    }
    const QString name = QStringLiteral("log%1").arg(++m_databases);
    LogDb admin;
    if (!admin.open(uri(QStringLiteral("postgres"))) ||
        !admin.exec(QStringLiteral("CREATE DATABASE ") + name).ok()) {
        return QString();
    }
    return uri(name);
}

}  // namespace tavrel::test
