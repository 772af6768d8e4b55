#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "common/DriveMap.h"
#include "external/netware/NetWareCodes.h"
#include "external/netware/NetWareRecords.h"
#include "external/netware/NetWareSite.h"
#include "external/netware/VolumePath.h"

namespace tavrel {

// A path resolved onto a server volume of the site.
struct SitePath {
    int server = -1;
    int volume = -1;
    QStringList components;
};

// Lookups over one site, so that each client call costs a few hash lookups however many
// files are open: servers and volumes by name, objects by ID and name, connections by
// number, open files and trustees by upper-cased volume path. Holds indexes into the
// site it was built from, which must stay unchanged while the index is used.
class SiteIndex {
public:
    struct Server {
        QHash<QString, int> volumeByName;  // upper-cased
        QHash<quint16, int> volumeByNumber;
        QList<QString> volumeRoots;  // absolute local folders, "" for none
        QHash<quint32, int> objectById;
        QHash<QString, int> objectByName;    // upper-cased
        QHash<QString, int> objectByDsName;  // upper-cased
        QHash<quint16, int> connectionByNumber;
        QList<LoginTime> loginTimes;                 // per connection
        QHash<QString, QList<int>> openFilesByPath;  // volumePathKey, site order
        QHash<QString, QList<int>> trusteesByPath;
        QHash<quint64, QList<int>> trusteesByObjectVolume;  // see trusteeKey()
        QHash<QString, int> fileByPath;
        int workstationConnection = -1;  // index into connections
    };

    SiteIndex() = default;
    explicit SiteIndex(const NetWareSite& site);

    const NetWareSite& site() const { return *m_site; }
    qsizetype serverCount() const { return m_servers.size(); }
    const Server& server(int index) const { return m_servers.at(index); }

    int serverNamed(const QString& name) const;
    // The first server of the site that has the volume: where a volume path without a
    // server lies, as for a workstation's primary connection.
    int defaultServerOf(const QString& volume) const;

    // A drive-letter path (through the drive map), VOL:PATH on the default server, or
    // SERVER\VOL:PATH. On failure *code says why: kInvalidPath (not on a file server,
    // unmapped letter, not a path), kNoSuchObject (no such server),
    // kVolumeDoesNotExist.
    std::optional<SitePath> resolve(const QString& path, NWCCODE* code) const;
    // A volume path on a given server (its server part, if any, must name that server).
    std::optional<SitePath> resolveOn(int server, const QString& path, NWCCODE* code) const;

    // VOL:DIR\FILE in upper case.
    QString key(const SitePath& path) const;
    // VOL:DIR\FILE with the volume's own name and the components as given.
    QString text(const SitePath& path) const;

    // The local file or folder of a volume path, found without regard to case; "" when
    // the volume has no folder or nothing is there.
    QString localPath(const SitePath& path) const;

    // The rights an object has on a directory: the nearest explicit assignment on the
    // directory or above it; Supervisor anywhere above gives all rights.
    quint16 effectiveRights(int server, quint32 object, const SitePath& directory) const;

    // The workstation's drive letters; C: is the local root unless the site maps it.
    const QList<MappedDrive>& drives() const { return m_drives; }

    static quint64 trusteeKey(quint32 object, quint16 volumeNumber) {
        return quint64(object) << 16 | volumeNumber;
    }

    // A file or folder below root, each component matched without regard to case (an
    // exact match wins); nothing when a component is missing, or two entries differ from
    // it only in case.
    static std::optional<QString> findLocal(const QString& root, const QStringList& components);

private:
    // A parsed volume path on a given server.
    std::optional<SitePath> onServer(int server, const VolumePath& parsed, NWCCODE* code) const;
    const NetWareSite* m_site = nullptr;
    QList<Server> m_servers;
    QHash<QString, int> m_serverByName;
    QHash<QString, int> m_defaultServerByVolume;
    QList<MappedDrive> m_drives;
};

}  // namespace tavrel
