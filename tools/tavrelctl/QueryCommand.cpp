#include "QueryCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "common/AppFolder.h"
#include "external/logdb/LogDb.h"
#include "logquery/ExportText.h"
#include "logquery/JetSql.h"
#include "logquery/QueryText.h"
#include "logquery/SingleStatement.h"
#include "logquery/StatementCanceller.h"

namespace tavrel {

namespace {

constexpr int kStatementFailed = 1;
constexpr int kBadUsage = 2;
// PostgreSQL's SQLSTATE 57014, query_canceled, as the driver's number.
constexpr int kPgQueryCanceled = 57014;

QString usage() {
    QString text = QStringLiteral(
        "Usage: tavrelctl query \"SQL\" [--csv|--json] [--timeout SECONDS]\n"
        "       tavrelctl query -f FILE.sql [--csv|--json] [--timeout SECONDS]\n"
        "\n"
        "Runs one statement on the usage log as the query window does (a closing ; and\n"
        "comments are allowed, a second statement is refused): a first line\n"
        "beginning with ' is a comment, a .sql file is UTF-8 text of at most 1 MB read line\n"
        "by line as the window reads it, and the statement is translated from the old\n"
        "desktop database's dialect (a date literal that names no day is refused):\n"
        "\n");
    for (const JetTranslationRule& rule : jetTranslationRules()) {
        text += QStringLiteral("  %1\n      -> %2\n").arg(rule.jet, rule.sqlite);
        if (rule.postgres != rule.sqlite) {
            text += QStringLiteral("      -> %1 (shared log)\n").arg(rule.postgres);
        }
    }
    text += QStringLiteral(
        "\n"
        "Prints the rows as CSV with a heading line (every value quoted, quotes doubled, a\n"
        "null as \"\"), or with --json as {\"columns\": [...], \"rows\": [[...], ...]}.\n"
        "An action statement prints nothing (--json: no columns, no rows).\n"
        "\n"
        "--timeout SECONDS stops a statement still running after that time. SIGINT (Ctrl-C)\n"
        "and SIGTERM stop the statement, on the server too for a shared log, before the\n"
        "command ends. Exit status 0 done, 1 the statement failed or ran out of time (the\n"
        "reason on stderr), 2 bad usage or no log, 128 + the signal's number when stopped\n"
        "by a signal (130 for SIGINT).\n");
    return text;
}

void writeJsonValue(QTextStream& out, const QVariant& value) {
    if (value.isNull()) {
        out << "null";
        return;
    }
    const QJsonArray one{QJsonValue::fromVariant(value)};
    const QByteArray json = QJsonDocument(one).toJson(QJsonDocument::Compact);
    out << QString::fromUtf8(json.mid(1, json.size() - 2));
}

// The canceller of the statement running now, for the signal handler.
std::atomic<StatementCanceller*> g_canceller{nullptr};
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void stopStatement(int signalNumber) {
    g_stopSignal = signalNumber;
    if (StatementCanceller* canceller = g_canceller.load()) {
        canceller->cancel();
    }
}

// While it lives, SIGINT and SIGTERM stop the statement on the connection (on the server,
// for PostgreSQL) and are remembered, instead of ending the process with the statement
// still running.
class StopOnSignals {
public:
    explicit StopOnSignals(StatementCanceller& canceller) {
        g_canceller = &canceller;
        struct sigaction action = {};
        action.sa_handler = stopStatement;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~StopOnSignals() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_canceller = nullptr;
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
};

// Stops the statement on an SQLite log once the seconds have passed (PostgreSQL keeps its
// own statement_timeout).
class Deadline {
public:
    Deadline(int seconds, StatementCanceller& canceller) {
        if (seconds <= 0) {
            return;
        }
        m_thread = std::thread([this, seconds, &canceller] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_ended; })) {
                m_passed = true;
                canceller.cancel();
            }
        });
    }
    ~Deadline() {
        {
            const std::lock_guard lock(m_mutex);
            m_ended = true;
        }
        m_done.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    bool passed() const { return m_passed; }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_ended = false;
    std::atomic<bool> m_passed{false};
    std::thread m_thread;
};

}  // namespace

int runQueryCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << usage();
        return 0;
    }
    QStringList rest = args;
    QString file;
    const qsizetype f = rest.indexOf(QStringLiteral("-f"));
    if (f >= 0) {
        if (f + 1 >= rest.size()) {
            err << "tavrelctl query: -f needs a file\n\n" << usage();
            return kBadUsage;
        }
        file = rest.at(f + 1);
        rest.remove(f, 2);
    }
    const CommandArgs parsed(rest, {QStringLiteral("csv"), QStringLiteral("json")},
                             {QStringLiteral("file"), QStringLiteral("timeout")});
    if (parsed.has(QStringLiteral("file"))) {
        file = parsed.value(QStringLiteral("file"));
    }
    const bool oneSource =
        file.isEmpty() ? parsed.positional().size() == 1 : parsed.positional().isEmpty();
    if (!parsed.ok() || !oneSource ||
        (parsed.has(QStringLiteral("csv")) && parsed.has(QStringLiteral("json")))) {
        err << "tavrelctl query: "
            << (parsed.ok() ? QStringLiteral("give one statement, or -f FILE.sql, and one format")
                            : parsed.error())
            << "\n\n"
            << usage();
        return kBadUsage;
    }
    int timeout = 0;
    if (!secondsOption(parsed, "query", "timeout", 1, &timeout, err)) {
        return kBadUsage;
    }
    QString text = file.isEmpty() ? parsed.positional().first() : QString();
    if (!file.isEmpty()) {
        QString error;
        const std::optional<QString> loaded = querytext::readSqlFile(file, &error);
        if (!loaded) {
            err << "tavrelctl query: " << file << ": " << error << "\n";
            return kBadUsage;
        }
        text = *loaded;
    }

    const std::optional<QString> location = currentLogLocation(err);
    if (!location) {
        return kBadUsage;
    }
    const QString& path = *location;
    LogDb db;
    // The window creates a missing log too; a file that is not a database stays untouched.
    // One connection: a server that does not answer is waited for once.
    const bool exists =
        LogDb::engineOf(path) == LogDb::Engine::PostgreSQL || QFileInfo::exists(path);
    if (!(exists ? db.open(path) && db.ensureSchema() : db.create(path))) {
        err << "tavrelctl query: " << path << ": " << db.lastError().description << "\n";
        return kBadUsage;
    }
    const bool json = parsed.has(QStringLiteral("json"));
    QString refused;
    const SingleStatement single = singleStatement(
        translateJetSql(querytext::runStatement(text), db.engine(), &refused), db.engine());
    if (!refused.isEmpty() || !single.error.isEmpty()) {
        err << "tavrelctl query: " << querytexts::kUnableToProcess << ": "
            << (refused.isEmpty() ? single.error : refused) << "\n";
        return kStatementFailed;
    }
    const bool postgres = db.engine() == LogDb::Engine::PostgreSQL;
    if (postgres && timeout > 0 &&
        !db.exec(QStringLiteral("SET statement_timeout = %1").arg(timeout * 1000LL)).ok()) {
        err << "tavrelctl query: " << db.lastError().description << "\n";
        return kStatementFailed;
    }
    StatementCanceller canceller(db.database());
    const StopOnSignals stopOnSignals(canceller);
    const Deadline deadline(postgres ? 0 : timeout, canceller);
    // Why the statement ended early, if it did: a signal or the time allowed.
    const auto stopped = [&](const QSqlError& error) {
        if (g_stopSignal != 0) {
            err << "tavrelctl query: stopped by a signal; the statement did not finish\n";
            return 128 + static_cast<int>(g_stopSignal);
        }
        const LogDbError reason = LogDb::errorOf(error);
        if (deadline.passed() || (postgres && timeout > 0 && reason.number == kPgQueryCanceled)) {
            err << "tavrelctl query: the statement ran longer than " << timeout
                << " seconds and was stopped\n";
        } else {
            err << "tavrelctl query: " << querytexts::kUnableToProcess << ": " << reason.description
                << "\n";
        }
        return kStatementFailed;
    };
    QSqlQuery query(db.database());
    query.setForwardOnly(true);
    if (g_stopSignal != 0 || !query.exec(single.statement)) {
        return stopped(query.lastError());
    }
    const QSqlRecord record = query.isSelect() ? query.record() : QSqlRecord();
    QStringList columns;
    for (int c = 0; c < record.count(); ++c) {
        columns.append(db.engine() == LogDb::Engine::PostgreSQL
                           ? LogDb::columnTitle(record.fieldName(c), single.statement)
                           : record.fieldName(c));
    }
    if (json) {
        out << "{\"columns\": "
            << QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(columns))
                                     .toJson(QJsonDocument::Compact))
            << ", \"rows\": [";
    } else if (!columns.isEmpty()) {
        out << exporttext::csvHeading(columns) << "\n";
    }
    bool first = true;
    QVariantList row;
    // Output that cannot be written ends the reading (main says so).
    while (g_stopSignal == 0 && out.status() == QTextStream::Ok && query.isSelect() &&
           query.next()) {
        row.clear();
        for (int c = 0; c < columns.size(); ++c) {
            row.append(query.value(c));
        }
        if (!json) {
            out << exporttext::csvLine(row) << "\n";
            continue;
        }
        out << (first ? "\n  [" : ",\n  [");
        first = false;
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0) {
                out << ", ";
            }
            writeJsonValue(out, row.at(c));
        }
        out << "]";
    }
    if (json) {
        out << (first ? "]}\n" : "\n]}\n");
    }
    out.flush();
    if (g_stopSignal != 0 || query.lastError().isValid()) {
        return stopped(query.lastError());
    }
    return 0;
}

}  // namespace tavrel
