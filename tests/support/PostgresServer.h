#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace tavrel::test {

// A PostgreSQL server of the test program's own: initdb with trust authentication in a
// temporary folder, listening on 127.0.0.1 and a free port only, run as the postgres
// system user when the program runs as root (the server refuses root). One per process,
// started on first use and stopped, by its own pg_ctl, when the process's tests end.
class PostgresServer {
public:
    // The process's server, started at the first call; see running() and reason().
    // durable (asked for at that first call): fsync and synchronous commit left on, as a
    // real server runs, for figures; the tests trade them for speed.
    static PostgresServer& shared(bool durable = false);
    // Stops the shared server when one was started (the test program's main calls it).
    static void stopShared();

    ~PostgresServer();
    bool running() const { return m_running; }
    // Why the server is not running: for the message of a skipped test.
    const QString& reason() const { return m_reason; }
    int port() const { return m_port; }

    // A new, empty database on the server; its postgresql:// address. "" on failure.
    QString newDatabase();
    // The address of a database on this server (need not exist).
    QString uri(const QString& database) const;

    // Stops and restarts the same server, to test what happens while it is away.
    bool stop();
    bool start();

private:
    explicit PostgresServer(bool durable);
    bool run(const QStringList& command, QString* output = nullptr);
    // A freshly made cluster to copy, "" (and why on output) when none can be made.
    QString templateCluster(QString* output);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bin;
    QString m_data;
    bool m_asPostgres = false;
    bool m_durable = false;
    bool m_running = false;
    int m_port = 0;
    int m_databases = 0;
    QString m_reason;
};

}  // namespace tavrel::test

// Skips the running test, saying why, when the shared server cannot run.
#define TAVREL_REQUIRE_POSTGRES()                                                            \
    do {                                                                                     \
        if (!::tavrel::test::PostgresServer::shared().running()) {                           \
            GTEST_SKIP() << "no PostgreSQL server: "                                         \
                         << ::tavrel::test::PostgresServer::shared().reason().toStdString(); \
        }                                                                                    \
    } while (false)
