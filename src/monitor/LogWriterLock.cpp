#include "monitor/LogWriterLock.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>

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
    if (m_lock.tryLock(0)) {
        return QString();
    }
    switch (m_lock.error()) {
        case QLockFile::LockFailedError:
            return QStringLiteral("scan results are already being stored by ") + holderText();
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
