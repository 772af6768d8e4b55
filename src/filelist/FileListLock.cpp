#include "filelist/FileListLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>
#include <map>
#include <memory>

#include "common/AppTitle.h"
#include "common/SettingsStore.h"

namespace tavrel {

namespace {

struct HeldLock {
    std::unique_ptr<QLockFile> file;
    int depth = 0;
};

// The list locks this process holds, by lock file.
std::map<QString, HeldLock>& heldLocks() {
    static std::map<QString, HeldLock> held;
    return held;
}

}  // namespace

FileListLock::FileListLock(SettingsStore& store, int timeoutMs) {
    const QString settingsFile = store.location(kAppTitle);
    if (settingsFile.isEmpty()) {
        m_locked = true;
        return;
    }
    m_path = settingsFile + QStringLiteral(".list.lock");
    auto held = heldLocks().find(m_path);
    if (held != heldLocks().end()) {
        ++held->second.depth;
        m_locked = true;
        return;
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    auto file = std::make_unique<QLockFile>(m_path);
    // QLockFile's own wait sleeps 100 ms and more between tries; a list change takes a
    // few milliseconds, so poll more often.
    QElapsedTimer waited;
    waited.start();
    while (!file->tryLock(0)) {
        if (file->error() != QLockFile::LockFailedError || waited.elapsed() >= timeoutMs) {
            return;
        }
        QThread::msleep(3);
    }
    heldLocks().emplace(m_path, HeldLock{std::move(file), 1});
    m_locked = true;
    store.refresh(kAppTitle);  // read the list as the last holder left it
}

FileListLock::~FileListLock() {
    if (!m_locked || m_path.isEmpty()) {
        return;
    }
    auto held = heldLocks().find(m_path);
    if (held != heldLocks().end() && --held->second.depth == 0) {
        heldLocks().erase(held);  // unlocks
    }
}

}  // namespace tavrel
