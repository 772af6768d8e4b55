#include "monitor/LogWriterLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <ctime>

namespace tavrel {

LogWriterLock::LogWriterLock(const QString& databasePath)
    : m_path(pathFor(databasePath)), m_lock(m_path) {
    // Staleness by age only matters for a holder on another machine: on this one a dead
    // holder is recognised by its process id at once, and a live one is never robbed.
    m_lock.setStaleLockTime(kStaleAfterMs);
}

QString LogWriterLock::pathFor(const QString& databasePath) {
    return databasePath + QStringLiteral(".lock");
}

QString LogWriterLock::acquire() {
    if (m_lock.isLocked()) {
        // Keeps the lock young, so nobody takes it for one left behind.
        ::utimensat(AT_FDCWD, QFile::encodeName(m_path).constData(), nullptr, 0);
        return QString();
    }
    const QFileInfo info(m_path);
    if (info.isDir()) {
        return QStringLiteral(
                   "the lock file %1 is a folder, not a file; remove it so that scan "
                   "results can be stored")
            .arg(m_path);
    }
    if (info.exists() && !info.isFile()) {
        return QStringLiteral(
                   "the lock file %1 is not a regular file; remove it so that scan "
                   "results can be stored")
            .arg(m_path);
    }
    removeIfLeftEmpty();
    if (m_lock.tryLock(0)) {
        return QString();
    }
    switch (m_lock.error()) {
        case QLockFile::LockFailedError:
            return refusal();
        case QLockFile::PermissionError:
            return QStringLiteral("the lock file %1 cannot be created (permission denied)")
                .arg(m_path);
        default:
            return QStringLiteral("the lock file %1 cannot be written").arg(m_path);
    }
}

void LogWriterLock::release() {
    m_lock.unlock();
}

// Ages are measured on the file's own clock field against the wall clock, as the lock's
// staleness is elsewhere.
void LogWriterLock::removeIfLeftEmpty() const {
    // The guard QLockFile itself takes to remove a stale lock, so that two writers never
    // remove one another's fresh lock.
    QLockFile guard(m_path + QStringLiteral(".rmlock"));
    guard.setStaleLockTime(kEmptyStaleAfterMs);
    const QByteArray path = QFile::encodeName(m_path);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    timespec now{};
    const auto emptyAndOld = [&] {
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 ||
            ::clock_gettime(CLOCK_REALTIME, &now) != 0) {
            return false;
        }
        const qint64 ageMs = (qint64(now.tv_sec) - qint64(st.st_mtim.tv_sec)) * 1000 +
                             (qint64(now.tv_nsec) - qint64(st.st_mtim.tv_nsec)) / 1000000;
        return ageMs > kEmptyStaleAfterMs;
    };
    // A live holder keeps the file locked (flock) from the moment it made it.
    if (emptyAndOld() && guard.tryLock(0) && emptyAndOld() && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        struct stat named {};
        // Only the file looked at, not one made since under the same name.
        if (::stat(path.constData(), &named) == 0 && named.st_ino == st.st_ino &&
            named.st_dev == st.st_dev) {
            ::unlink(path.constData());
        }
    }
    ::close(fd);
}

QString LogWriterLock::refusal() const {
    qint64 pid = 0;
    QString host;
    QString program;
    if (m_lock.getLockInfo(&pid, &host, &program)) {
        return QStringLiteral("scan results are already being stored by ") + holderText();
    }
    const QFileInfo info(m_path);
    if (info.isFile() && info.size() == 0) {
        // Being taken this very moment, or left by a writer killed while taking it; the
        // latter is taken over once it is a few seconds old.
        return QStringLiteral("scan results are already being stored by another program");
    }
    if (!info.exists()) {
        return QStringLiteral("the lock file %1 cannot be read").arg(m_path);
    }
    return QStringLiteral(
               "the lock file %1 does not name a program storing scan results (it "
               "holds something else); remove it if no other program stores them")
        .arg(m_path);
}

QString LogWriterLock::holderText() const {
    qint64 pid = 0;
    QString host;
    QString program;
    if (!m_lock.getLockInfo(&pid, &host, &program)) {
        return QStringLiteral("another program");
    }
    if (program.isEmpty()) {
        program = QStringLiteral("another program");
    }
    QString text = program + QStringLiteral(", process ") + QString::number(pid);
    if (!host.isEmpty()) {
        text += QStringLiteral(" on ") + host;
    }
    return text;
}

}  // namespace tavrel
