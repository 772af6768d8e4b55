#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace tavrel {

// What one `smbstatus --json` answer says about a Samba server, reduced to what the
// monitor reads. Each client connection is served by its own smbd process, whose pid
// ties sessions, tree connects, opens and byte-range locks together.

struct SambaSession {
    QString id;  // session id, unique while the session lives
    qint64 pid = 0;
    uint uid = 0;
    uint gid = 0;
    QString user;
    QString machine;
    QString address;  // the client's IP, "" when it is not an IPv4 address
};

struct SambaTreeConnect {
    QString sessionId;
    QString share;
    QDateTime connectedAt;
};

struct SambaOpen {
    QString sharePath;  // the share's folder on the server
    QString fileName;   // below the share's folder, '/'-separated
    qint64 pid = 0;
    uint uid = 0;
    quint64 fileId = 0;  // share_file_id
    bool read = false;   // READ_DATA or EXECUTE
    bool write = false;  // WRITE_DATA or APPEND_DATA
    bool othersRead = false;
    bool othersWrite = false;
    bool locked = false;  // the same client holds byte-range locks on the file
};

struct SambaStatus {
    QList<SambaSession> sessions;
    QList<SambaTreeConnect> treeConnects;
    QList<SambaOpen> opens;
};

// Reads the JSON; nothing, with the reason in *error, when it is not an smbstatus answer.
std::optional<SambaStatus> parseSambaStatus(const QByteArray& json, QString* error);

}  // namespace tavrel
