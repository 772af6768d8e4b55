#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

#include "external/logdb/LogDb.h"

namespace tavrel {

class StatementCanceller;

// A connection of its own to the usage log, on a thread of its own, for statements that
// may run long. While one runs (runResponsive), the calling thread goes on handling its
// events (windows, timers, the shutdown signals), and stop() ends it: SQLite's interrupt,
// PostgreSQL's cancel request. The log windows' result sets read through one.
class QueryWorker : public QObject {
    Q_OBJECT
public:
    explicit QueryWorker(QObject* parent = nullptr);
    ~QueryWorker() override;

    // Opens the log (see LogDb::open) on the worker's thread; false with lastError().
    bool open(const QString& location);
    bool isOpen() const { return m_open; }
    const LogDbError& lastError() const { return m_error; }
    LogDb::Engine engine() const { return m_engine; }
    // The worker's Qt connection, to be used only by work the worker runs.
    const QString& connectionName() const { return m_connectionName; }

    // Short work (a page of rows): the calling thread waits for it. Not while work runs
    // responsively.
    void run(const std::function<void()>& work);
    // Work that may run long: the calling thread handles its events until it ends. When
    // the event loop is told to quit meanwhile (the program ending), the work is stopped
    // and waited for. True when stop() (or the ending) stopped it.
    bool runResponsive(const std::function<void()>& work);
    // True while responsive work runs.
    bool running() const { return m_running; }
    // Stops the running work: its statement now and any it starts after; false when none
    // runs.
    bool stop();

signals:
    void runningChanged(bool running);

private:
    void cancelStatement();

    QThread m_thread;
    QObject* m_context;  // lives on m_thread: work runs through it
    std::unique_ptr<LogDb> m_db;
    std::unique_ptr<StatementCanceller> m_canceller;
    QString m_connectionName;
    LogDb::Engine m_engine = LogDb::Engine::SQLite;
    LogDbError m_error;
    bool m_open = false;
    bool m_running = false;
    // Read by SQLite on the worker's thread between steps of a statement.
    std::atomic<bool> m_stopping{false};
    // PostgreSQL's cancel request ends only a statement the server runs when it comes:
    // asked again while the stopped work goes on.
    QTimer m_cancelAgain;
};

}  // namespace tavrel
