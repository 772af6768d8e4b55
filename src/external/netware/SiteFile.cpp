#include "external/netware/SiteFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include "common/SaveWhole.h"
#include "external/netware/SiteJson.h"

namespace tavrel {

namespace {

QString lockError(const QLockFile& lock, const QString& lockPath) {
    switch (lock.error()) {
        case QLockFile::LockFailedError:
            return QStringLiteral("another program keeps the site locked (%1)").arg(lockPath);
        case QLockFile::PermissionError:
            return QStringLiteral("cannot create the lock file %1: permission denied")
                .arg(lockPath);
        default:
            return QStringLiteral("cannot create the lock file %1").arg(lockPath);
    }
}

}  // namespace

SiteFile::SiteFile(QString path) : m_path(std::move(path)) {}

FileStamp SiteFile::stamp() const {
    struct stat info {};
    FileStamp stamp;
    if (::stat(QFile::encodeName(m_path).constData(), &info) != 0) {
        return stamp;
    }
    stamp.exists = true;
    stamp.device = quint64(info.st_dev);
    stamp.inode = quint64(info.st_ino);
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

SiteLoad SiteFile::load() const {
    return loadFrom(stamp());
}

SiteLoad SiteFile::loadFrom(const FileStamp& stamp) const {
    SiteLoad result;
    result.stamp = stamp;
    const auto fail = [&](const QString& why) {
        result.error = QStringLiteral("%1: cannot read the site file: %2").arg(m_path, why);
        return result;
    };
    // Opened without blocking and checked on the open descriptor: a FIFO would wait for a
    // writer forever and a device such as /dev/zero never ends.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return fail(errno == ENOENT ? QStringLiteral("no such file")
                                    : QString::fromLocal8Bit(std::strerror(errno)));
    }
    QFile file;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("not a regular file"));
    }
    if (info.st_size > kMaxSizeBytes) {
        ::close(fd);
        return fail(QStringLiteral("larger than %1 MB").arg(kMaxSizeBytes / (1024 * 1024)));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    // A regular file of a checked size: read whole (a buffer of the limit would cost
    // every reload its size in memory).
    const QByteArray text = file.readAll();
    if (text.size() > kMaxSizeBytes) {
        return fail(QStringLiteral("larger than %1 MB").arg(kMaxSizeBytes / (1024 * 1024)));
    }
    SiteParse parsed = parseSiteJson(text);
    if (!parsed.site) {
        result.error = m_path + QStringLiteral(": ") + parsed.error;
        return result;
    }
    result.site = std::move(parsed.site);
    result.site->folder = QFileInfo(m_path).absolutePath();
    return result;
}

SiteUpdate SiteFile::update(const Change& change) const {
    SiteUpdate result;
    const QString lockPath = m_path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    if (!lock.tryLock(kLockTimeoutMs)) {
        result.error = lockError(lock, lockPath);
        return result;
    }
    SiteLoad loaded = load();
    if (!loaded.site) {
        result.error = loaded.error;
        return result;
    }
    NetWareSite site = *loaded.site;
    const QString refused = change(site);
    if (!refused.isEmpty()) {
        result.error = refused;
        result.site = std::move(loaded.site);
        result.stamp = loaded.stamp;
        return result;
    }
    const QString problem = checkSite(site);
    if (!problem.isEmpty()) {
        result.error = QStringLiteral("the change would leave the site unsound: ") + problem;
        result.site = std::move(loaded.site);
        result.stamp = loaded.stamp;
        return result;
    }
    if (siteToJson(site) == siteToJson(*loaded.site)) {
        // Nothing changed: leave the file (and its own layout) alone.
        result.ok = true;
        result.site = std::move(loaded.site);
        result.stamp = loaded.stamp;
        return result;
    }
    const QString written = write(site);
    if (!written.isEmpty()) {
        result.error = written;
        result.site = std::move(loaded.site);
        result.stamp = loaded.stamp;
        return result;
    }
    result.ok = true;
    result.site = std::move(site);
    result.stamp = stamp();
    return result;
}

QString SiteFile::save(const NetWareSite& site) const {
    const QString problem = checkSite(site);
    if (!problem.isEmpty()) {
        return problem;
    }
    const QString lockPath = m_path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    if (!lock.tryLock(kLockTimeoutMs)) {
        return lockError(lock, lockPath);
    }
    return write(site);
}

QString SiteFile::write(const NetWareSite& site) const {
    const QString error = saveWhole(m_path, siteToJson(site));
    return error.isEmpty()
               ? QString()
               : QStringLiteral("%1: cannot write the site file: %2").arg(m_path, error);
}

}  // namespace tavrel
