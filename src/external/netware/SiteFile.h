#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "external/netware/NetWareSite.h"

namespace tavrel {

// What identifies one version of a file on disk: a changed file, or one replaced by a
// rename, has a different stamp.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct SiteLoad {
    std::optional<NetWareSite> site;
    QString error;  // names the file, where in it and what is wrong
    FileStamp stamp;
};

struct SiteUpdate {
    bool ok = false;
    QString error;                    // why nothing was written
    std::optional<NetWareSite> site;  // the site now in the file (also when unchanged)
    FileStamp stamp;
};

// A site file on disk. Changes are made under a lock file (the site file's name plus
// ".lock"): the file is read afresh under the lock, changed, checked and replaced
// atomically (a temporary file renamed over it), so that processes changing the same
// site never lose each other's changes and readers never see half a file. A file that
// cannot be read or is not a sound site is never written.
class SiteFile {
public:
    // The change returns "" to keep what it did, or why it refused (nothing is written).
    using Change = std::function<QString(NetWareSite& site)>;

    explicit SiteFile(QString path);

    const QString& path() const { return m_path; }
    FileStamp stamp() const;
    SiteLoad load() const;
    SiteUpdate update(const Change& change) const;
    // Writes a whole site to the file, under the lock; "" or why not.
    QString save(const NetWareSite& site) const;

    // How long a change waits for another process's lock.
    static constexpr int kLockTimeoutMs = 15000;
    // A larger file is refused rather than read into memory.
    static constexpr qint64 kMaxSizeBytes = 256 * 1024 * 1024;

private:
    SiteLoad loadFrom(const FileStamp& stamp) const;
    QString write(const NetWareSite& site) const;

    QString m_path;
};

}  // namespace tavrel
