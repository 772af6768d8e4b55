#include "support/SambaServer.h"
#include "support/PrometheusServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QThread>

namespace tavrel::test {

namespace {

bool listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// Runs a program to its end; its exit code, or -1 when it could not run.
int run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
        QString* output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        return -1;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output != nullptr) {
        *output =
            QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError())
                .trimmed();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace

void SmbHolder::close() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(10000)) {
            m_process->kill();
            m_process->waitForFinished();
        }
    }
}

SambaServer::SambaServer() = default;

SambaServer::~SambaServer() {
    stop();
}

QString SambaServer::start(int users) {
    if (::geteuid() != 0) {
        return QStringLiteral("a Samba server for the tests needs root");
    }
    for (const char* program : {"smbd", "smbstatus", "smbcontrol", "smbpasswd", "useradd"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program),
                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                            QStringLiteral("/sbin"), QStringLiteral("/bin")})
                .isEmpty()) {
            return QStringLiteral("%1 is not installed (Debian packages samba, smbclient)")
                .arg(QLatin1String(program));
        }
    }
    if (!QFile::exists(QStringLiteral(SMBHOLD_PYTHON)) ||
        run(QStringLiteral(SMBHOLD_PYTHON),
            {QStringLiteral("-c"), QStringLiteral("import impacket")}) != 0) {
        return QStringLiteral("python3-impacket is not installed");
    }
    if (!m_dir.isValid()) {
        return QStringLiteral("no temporary folder");
    }
    // smbd reaches the share as its users: the folder must be open to them.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                            QFile::ExeGroup);
    const QDir dir(m_dir.path());
    for (const char* folder : {"share", "state", "cache", "lock", "pid", "private", "ncalrpc"}) {
        dir.mkpath(QLatin1String(folder));
    }
    ::chmod(QFile::encodeName(shareFolder()).constData(), 0777);
    m_port = freeLoopbackPort();
    QFile conf(configPath());
    if (!conf.open(QIODevice::WriteOnly)) {
        return QStringLiteral("cannot write smb.conf");
    }
    const auto folder = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    conf.write(QStringLiteral("[global]\n"
                              "interfaces = 127.0.0.1\n"
                              "bind interfaces only = yes\n"
                              "smb ports = %1\n"
                              "disable netbios = yes\n"
                              "server role = standalone server\n"
                              "state directory = %2\n"
                              "cache directory = %3\n"
                              "lock directory = %4\n"
                              "pid directory = %5\n"
                              "private dir = %6\n"
                              "ncalrpc dir = %7\n"
                              "passdb backend = tdbsam\n"
                              "log file = %8\n"
                              "load printers = no\n"
                              "[data]\n"
                              "path = %9\n"
                              "read only = no\n")
                   .arg(m_port)
                   .arg(folder("state"), folder("cache"), folder("lock"), folder("pid"),
                        folder("private"), folder("ncalrpc"), folder("log.smbd"), shareFolder())
                   .toUtf8());
    conf.close();
    for (int n = 1; n <= users; ++n) {
        run(QStringLiteral("useradd"), {QStringLiteral("-M"), QStringLiteral("-s"),
                                        QStringLiteral("/usr/sbin/nologin"), userName(n)});
        const QByteArray secret = (password(n) + QLatin1Char('\n')).toUtf8();
        QString said;
        if (run(QStringLiteral("smbpasswd"),
                {QStringLiteral("-c"), configPath(), QStringLiteral("-s"), QStringLiteral("-a"),
                 userName(n)},
                secret + secret, &said) != 0) {
            return QStringLiteral("smbpasswd failed for %1: %2").arg(userName(n), said);
        }
    }
    return launch();
}

QString SambaServer::launch() {
    const QDir dir(m_dir.path());
    const auto folder = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    QFile::remove(folder("pid") + QStringLiteral("/smbd.pid"));
    QString said;
    if (run(QStringLiteral("smbd"), {QStringLiteral("-D"), QStringLiteral("-s"), configPath()}, {},
            &said) != 0) {
        return QStringLiteral("smbd did not start: ") + said;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QFile pidFile(folder("pid") + QStringLiteral("/smbd.pid"));
        if (m_pid == 0 && pidFile.open(QIODevice::ReadOnly)) {
            m_pid = pidFile.readAll().trimmed().toLongLong();
        }
        if (m_pid != 0 && listening(m_port)) {
            return QString();
        }
        QThread::msleep(50);
    }
    return QStringLiteral("smbd did not listen on port %1 within 10 s").arg(m_port);
}

void SambaServer::stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(pid_t(m_pid), SIGTERM);
    QElapsedTimer timer;
    timer.start();
    while (::kill(pid_t(m_pid), 0) == 0 && timer.elapsed() < 10000) {
        QThread::msleep(50);
    }
    m_pid = 0;
}

QStringList SambaServer::statusCommand() const {
    return {QStringLiteral("smbstatus"), QStringLiteral("-s"), configPath(),
            QStringLiteral("--json"), QStringLiteral("-B")};
}

QStringList SambaServer::controlCommand() const {
    return {QStringLiteral("smbcontrol"), QStringLiteral("-s"), configPath()};
}

QJsonObject SambaServer::siteServer(const QString& name, const QString& letter) const {
    return {
        {QStringLiteral("name"), name},
        {QStringLiteral("status"), QJsonArray::fromStringList(statusCommand())},
        {QStringLiteral("control"), QJsonArray::fromStringList(controlCommand())},
        {QStringLiteral("drives"),
         QJsonArray{QJsonObject{{QStringLiteral("letter"), letter},
                                {QStringLiteral("share"), QStringLiteral("data")},
                                {QStringLiteral("folder"), shareFolder()}}}},
    };
}

bool SambaServer::writeSiteFile(const QString& path, const QStringList& status) const {
    // The form of a site file of one server: the entry's keys at its root.
    QJsonObject root = siteServer(QString(), QStringLiteral("G"));
    root.remove(QStringLiteral("name"));
    root.insert(QStringLiteral("backend"), QStringLiteral("samba"));
    root.insert(QStringLiteral("server"), QStringLiteral("FILESRV"));
    root.insert(QStringLiteral("status"), QJsonArray::fromStringList(status));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(root).toJson()) > 0;
}

void SambaServer::addFile(const QString& name, const QByteArray& content) const {
    const QString path = QDir(shareFolder()).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
    }
    file.close();
    ::chmod(QFile::encodeName(path).constData(), 0666);
}

std::unique_ptr<SmbHolder> SambaServer::hold(int user, const QStringList& opens) const {
    auto holder = std::make_unique<SmbHolder>();
    holder->m_process = std::make_unique<QProcess>();
    QProcess& process = *holder->m_process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(SMBHOLD_PYTHON),
                  QStringList{QStringLiteral(SMBHOLD_SCRIPT), QStringLiteral("127.0.0.1"),
                              QString::number(m_port), userName(user), password(user),
                              QStringLiteral("data")} +
                      opens);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        if (!process.canReadLine() && !process.waitForReadyRead(200)) {
            if (process.state() == QProcess::NotRunning) {
                break;
            }
            continue;
        }
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            if (line == QLatin1String("ready")) {
                return holder;
            }
            if (line.startsWith(QLatin1String("opened "))) {
                holder->opened.append(line.mid(7));
            } else if (line.startsWith(QLatin1String("refused "))) {
                holder->refused.append(line.mid(8));
            }
        }
    }
    return holder;  // not ready: the test sees files neither opened nor refused
}

}  // namespace tavrel::test
