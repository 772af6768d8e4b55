#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace tavrel::test {

// An SMB client (tests/support/smbhold.py) holding files open until it is closed.
class SmbHolder {
public:
    ~SmbHolder() { close(); }
    // The files the server let it open and those it refused, in the order asked.
    QStringList opened;
    QStringList refused;
    // Ends the client's connection and waits until it is gone.
    void close();

private:
    friend class SambaServer;
    std::unique_ptr<QProcess> m_process;
};

// Its own smbd on 127.0.0.1 on a free port, with every folder and its passwords in a
// temporary folder, stopped by its pid. Needs root and the Debian samba and
// python3-impacket packages; start() says why it cannot run where they are missing.
class SambaServer {
public:
    SambaServer();
    ~SambaServer();
    SambaServer(const SambaServer&) = delete;
    SambaServer& operator=(const SambaServer&) = delete;

    // Starts smbd with one share "data" and users tavrelsmb1..tavrelsmbN (system users are
    // made when missing); "" or why the server cannot run here.
    QString start(int users = 2);
    void stop();
    // Starts the stopped server again, as it was; "" or why it did not start.
    QString restart() { return launch(); }

    static QString userName(int n) { return QStringLiteral("tavrelsmb%1").arg(n); }
    static QString password(int n) { return QStringLiteral("Pw-%1-tavrel").arg(n); }

    QString configPath() const { return m_dir.filePath(QStringLiteral("smb.conf")); }
    QString shareFolder() const { return m_dir.filePath(QStringLiteral("share")); }
    int port() const { return m_port; }
    QStringList statusCommand() const;
    QStringList controlCommand() const;
    // This server as an entry of a site file's "servers", mapping the drive letter to the share.
    QJsonObject siteServer(const QString& name, const QString& letter) const;
    // A Samba site file at path mapping G: to the share, on server name FILESRV.
    bool writeSiteFile(const QString& path, const QStringList& statusCommand) const;
    bool writeSiteFile(const QString& path) const { return writeSiteFile(path, statusCommand()); }
    // Creates a file in the share that every user may read and write.
    void addFile(const QString& name, const QByteArray& content = "data") const;

    // User n connects and opens the files given as NAME:ACCESS:SHARING[:L] (see smbhold.py);
    // waits until it is ready.
    std::unique_ptr<SmbHolder> hold(int user, const QStringList& opens) const;

private:
    QString launch();

    QTemporaryDir m_dir;
    int m_port = 0;
    qint64 m_pid = 0;
};

}  // namespace tavrel::test
