#pragma once

#include <QChar>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "external/netware/NetWareSite.h"
#include "external/samba/SambaStatus.h"

namespace tavrel {

// A drive letter mapped to a Samba share.
struct SambaDrive {
    QChar letter;          // upper case
    QString share;         // the share's name, which is also the volume's
    QString path;          // a folder within the share, "" for its root
    QString folder;        // where this machine sees the share's files
    QString serverFolder;  // the share's folder on the server, as smbstatus names it
};

// How Tavrel reaches one Samba server of a site file whose "backend" is "samba".
struct SambaConfig {
    QString server;              // the name shown for the server
    QStringList statusCommand;   // program and arguments printing `smbstatus --json -B`
    QStringList controlCommand;  // program and arguments before "PID close-share SHARE"
    bool posixRights = true;     // the share folders are the server's own: read their rights
    QList<SambaDrive> drives;
    // The file every process of the site keeps the connection numbers in; "" keeps them in
    // this process only.
    QString numbersFile;
};

// True when the JSON object of a site file asks for the Samba backend.
bool isSambaSite(const QJsonObject& root);
// The servers of a Samba site file, in its order: the one its root describes, or each of
// its "servers"; relative folders start at baseFolder. Nothing, with the reason in *error,
// when the file is not sound (an unknown key, a server name given twice, a drive letter
// mapped twice ...).
std::optional<QList<SambaConfig>> parseSambaServers(const QJsonObject& root,
                                                    const QString& baseFolder, QString* error);
// The same for a site file of one server.
std::optional<SambaConfig> parseSambaConfig(const QJsonObject& root, const QString& baseFolder,
                                            QString* error);

// Connection numbers for SMB sessions: small, and the same for as long as a session lives.
class SessionNumbers {
public:
    // Keeps the numbers of server in file, shared with every process that reads the same
    // server (the window, watch, each tavrelctl run), so that all of them name a session
    // by one number. The file is read and written under a lock, and replaced whole.
    void keepIn(const QString& file, const QString& server);

    // The numbers of the live sessions, given by id; sessions no longer listed lose theirs.
    // A number is handed out again only after every other free number was (0 when all
    // 65535 are taken).
    QHash<QString, quint16> update(const QStringList& liveIds);

private:
    QHash<QString, quint16> numberLive(const QStringList& liveIds);

    QString m_file;
    QString m_server;
    QHash<QString, quint16> m_numbers;
    quint16 m_last = 0;
};

// The smbd process serving a connection number and the shares it has connected.
struct SambaClient {
    qint64 pid = 0;  // 0 or less: the server named no process
    QStringList shares;
    QString sessionId;
};

struct SambaSite {
    NetWareSite site;
    QHash<quint16, SambaClient> clients;  // by connection number
    QStringList notes;                    // what of the answer was left out, and why
};

// The rights mask a session's user has on a local file (0: none known).
using SambaRights = std::function<quint16(const SambaSession& session, const QString& file)>;

// One server with a volume per mapped share; a connection per session, an open file per
// open on a mapped share, and (with rights) a trustee assignment per user and open file.
// A session without a user name is left out, with a note.
SambaSite buildSambaSite(const SambaConfig& config, const SambaStatus& status,
                         SessionNumbers& numbers, const SambaRights& rights);

// The trustee rights that a file's POSIX permissions give a user: read gives Read and
// FileScan, write gives Write, Create, Delete and Modify, owning it AccessCtrl; root has
// them all and Supervisor. 0 when the file cannot be read.
quint16 posixRightsOf(uint uid, uint gid, const QString& file);
// The same with the user's membership of a group told by isMember, which is asked only
// where the answer can change the rights: not for the file's owner, nor where the file's
// group has the rights of others.
quint16 posixRightsOf(uint uid, const std::function<bool(uint group)>& isMember,
                      const QString& file);
// A user's primary group and the groups the system lists the user in.
std::vector<uint> groupsOf(uint uid, uint gid);

}  // namespace tavrel
