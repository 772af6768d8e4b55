#include "logquery/QueryWorker.h"

#include <sqlite3.h>

#include <QEventLoop>
#include <QSemaphore>
#include <QSqlDriver>

#include "logquery/StatementCanceller.h"

namespace tavrel {

namespace {

constexpr int kCancelAgainMs = 100;
// SQLite asks whether to go on every this many steps of its machine.
constexpr int kStepsBetweenChecks = 1000;

sqlite3* sqliteHandle(const QSqlDatabase& database) {
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Non-zero ends the statement as sqlite3_interrupt does, and also one begun after the
// stop, which an interrupt that came before it would miss.
int stopRequested(void* stopping) {
    return static_cast<std::atomic<bool>*>(stopping)->load() ? 1 : 0;
}

}  // namespace

QueryWorker::QueryWorker(QObject* parent) : QObject(parent), m_context(new QObject) {
    m_thread.setObjectName(QStringLiteral("tavrel-query"));
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    m_cancelAgain.setInterval(kCancelAgainMs);
    connect(&m_cancelAgain, &QTimer::timeout, this, &QueryWorker::cancelStatement);
}

QueryWorker::~QueryWorker() {
    // The connection ends on the thread it was made on.
    run([this] {
        m_canceller.reset();
        m_db.reset();
    });
    m_thread.quit();
    m_thread.wait();
}

bool QueryWorker::open(const QString& location) {
    run([this, &location] {
        m_canceller.reset();
        m_db = std::make_unique<LogDb>();
        m_open = m_db->open(location);
        m_error = m_db->lastError();
        m_engine = m_db->engine();
        m_connectionName.clear();
        if (m_open) {
            m_connectionName = m_db->database().connectionName();
            m_canceller = std::make_unique<StatementCanceller>(m_db->database());
            if (sqlite3* handle = sqliteHandle(m_db->database())) {
                sqlite3_progress_handler(handle, kStepsBetweenChecks, stopRequested, &m_stopping);
            }
        }
    });
    return m_open;
}

void QueryWorker::run(const std::function<void()>& work) {
    QMetaObject::invokeMethod(m_context, work, Qt::BlockingQueuedConnection);
}

bool QueryWorker::runResponsive(const std::function<void()>& work) {
    m_running = true;
    emit runningChanged(true);
    QEventLoop loop;
    QSemaphore done;
    bool ended = false;  // set on this thread, by the loop's quit the work posts
    QMetaObject::invokeMethod(m_context, [&work, &done, &loop, &ended] {
        work();
        // Posted before the release: the loop is gone once the caller has seen the work end.
        QMetaObject::invokeMethod(
            &loop,
            [&loop, &ended] {
                ended = true;
                loop.quit();
            },
            Qt::QueuedConnection);
        done.release();
    });
    loop.exec();
    if (ended) {
        done.acquire();  // released right after the quit was posted
    } else {
        // The loop was left before the work ended: the program is ending.
        m_stopping = true;
        do {
            cancelStatement();
        } while (!done.tryAcquire(1, kCancelAgainMs));
    }
    m_cancelAgain.stop();
    m_running = false;
    const bool stopped = m_stopping.exchange(false);
    emit runningChanged(false);
    return stopped;
}

bool QueryWorker::stop() {
    if (!m_running) {
        return false;
    }
    m_stopping = true;
    cancelStatement();
    m_cancelAgain.start();
    return true;
}

void QueryWorker::cancelStatement() {
    if (m_canceller) {
        m_canceller->cancel();
    }
}

}  // namespace tavrel
