#pragma once

#include <QString>

namespace tavrel {

class SettingsStore;

// Held around every read-modify-write of the monitored file list (add, save, delete), so
// that the program, tavrelctl and any other copy never number two entries alike or move
// one over another: a lock file beside the settings file, taken across processes. A lock
// taken while the same process already holds it (a caller holding it around several
// list calls) shares the outer one. Used from one thread; a store kept in no file (tests)
// needs no lock.
class FileListLock {
public:
    static constexpr int kTimeoutMs = 10000;

    explicit FileListLock(SettingsStore& store, int timeoutMs = kTimeoutMs);
    ~FileListLock();
    FileListLock(const FileListLock&) = delete;
    FileListLock& operator=(const FileListLock&) = delete;

    // False when another program kept the list locked for the whole time-out, or the
    // lock file could not be made.
    bool isLocked() const { return m_locked; }
    // The lock file ("" for a store kept in no file).
    const QString& path() const { return m_path; }

private:
    QString m_path;
    bool m_locked = false;
};

}  // namespace tavrel
