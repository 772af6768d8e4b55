// One usage log update for 100 files x 20 users against a log that already holds a year
// of such rows (730,000), through UsageLog and, as a baseline, the same update done
// straight through the sqlite3 C API with one statement per changed row. Both run on the
// same database file in one run; the log is built once per run in a temporary folder.
//
//   bin/tavrel_usagelog_bench       (from the build folder)

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cctype>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/Clock.h"
#include "common/Prompts.h"
#include "common/TimeText.h"
#include "external/logdb/LogDb.h"
#include "monitor/UsageLog.h"

namespace {

using namespace tavrel;

constexpr int kFiles = 100;
constexpr int kUsers = 20;
constexpr int kDays = 365;
const QDateTime kNow(QDate(2026, 12, 8), QTime(14, 30));

class BenchClock : public Clock {
public:
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return 0; }
    void nextDay() { m_now = m_now.addDays(1); }
    // Every stored scan in a minute of its own, so each one counts its minute.
    void otherMinute() { m_now = m_now == kNow ? kNow.addSecs(60) : kNow; }

private:
    QDateTime m_now = kNow;
};

class SilentPrompts : public Prompts {
public:
    MessageAnswer messageBox(const MessageBoxRequest& request) override {
        std::fprintf(stderr, "%s\n", qPrintable(request.text));
        return request.defaultButton;
    }
    QString inputBox(const InputBoxRequest&) override { return QString(); }
    QString openFileName(const FileDialogRequest&) override { return QString(); }
    QString saveFileName(const FileDialogRequest&) override { return QString(); }
};

QString filePath(int file) {
    return QStringLiteral("G:\\DATA\\FILE%1.DBF").arg(file, 3, 10, QLatin1Char('0'));
}

QString userName(int user) {
    return QStringLiteral("USER%1").arg(user, 2, 10, QLatin1Char('0'));
}

ScanFileTable fullScan() {
    ScanFileTable scan;
    for (int f = 0; f < kFiles; ++f) {
        ScanFileEntry entry{filePath(f), {}};
        for (int u = 0; u < kUsers; ++u) {
            entry.Users.append(userName(u));
        }
        scan.append(entry);
    }
    return scan;
}

bool check(sqlite3* db, int rc, const char* what) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) {
        return true;
    }
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    return false;
}

// The log of a year: every earlier day's rows closed, today's still open.
class YearOfLog {
public:
    YearOfLog() {
        m_path = m_dir.path() + QStringLiteral("/tavrel.mdb");
        {
            LogDb schema;
            if (!schema.create(m_path)) {
                std::fprintf(stderr, "%s\n", qPrintable(schema.lastError().description));
                return;
            }
        }
        sqlite3* db = nullptr;
        sqlite3_open(m_path.toUtf8().constData(), &db);
        sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO Log (Date, File, User, In_Time, Out_Time, In_Times, "
                           "Out_Times, Mins, Opens, Opened) VALUES (?, ?, ?, '08:00 am', ?, "
                           "'08:00 am,', ?, 240, 1, ?)",
                           -1, &insert, nullptr);
        for (int day = kDays - 1; day >= 0; --day) {
            const bool today = day == 0;
            const std::string date = kNow.date().addDays(-day).toString(Qt::ISODate).toStdString();
            for (int f = 0; f < kFiles; ++f) {
                const std::string file = filePath(f).toStdString();
                for (int u = 0; u < kUsers; ++u) {
                    const std::string user = userName(u).toStdString();
                    sqlite3_bind_text(insert, 1, date.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(insert, 2, file.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(insert, 3, user.c_str(), -1, SQLITE_TRANSIENT);
                    if (today) {
                        sqlite3_bind_null(insert, 4);
                        sqlite3_bind_null(insert, 5);
                    } else {
                        sqlite3_bind_text(insert, 4, "12:00 pm", -1, SQLITE_STATIC);
                        sqlite3_bind_text(insert, 5, "12:00 pm,", -1, SQLITE_STATIC);
                    }
                    sqlite3_bind_int(insert, 6, today ? -1 : 0);
                    sqlite3_step(insert);
                    sqlite3_reset(insert);
                }
            }
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_stmt* count = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM Log", -1, &count, nullptr);
        if (sqlite3_step(count) == SQLITE_ROW) {
            m_rows = sqlite3_column_int64(count, 0);
        }
        sqlite3_finalize(count);
        sqlite3_close(db);
    }

    const QString& path() const { return m_path; }
    qint64 rows() const { return m_rows; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    qint64 m_rows = 0;
};

const YearOfLog& yearOfLog() {
    static const YearOfLog log;
    return log;
}

std::string folded(const unsigned char* text) {
    std::string s(reinterpret_cast<const char*>(text));
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// The same update by hand: today's rows read once, close detection in memory, then one
// statement per changed row, all in one transaction on a connection opened for it.
struct RawSighting {
    std::string file;
    std::string user;
    std::string key;  // file and user folded to lower case
};

bool rawUpdate(const std::string& path, const std::vector<RawSighting>& seen,
               const std::string& today, const std::string& time) {
    sqlite3* db = nullptr;
    if (!check(db, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), "open")) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, LogDb::kDefaultBusyTimeoutMs);
    bool ok = check(
        db,
        sqlite3_exec(db, "PRAGMA synchronous=NORMAL; BEGIN IMMEDIATE", nullptr, nullptr, nullptr),
        "begin");

    struct Row {
        sqlite3_int64 rowid;
        bool opened;
    };
    std::unordered_map<std::string, Row> rows;
    std::vector<std::pair<sqlite3_int64, std::string>> openRows;
    sqlite3_stmt* select = nullptr;
    ok = ok && check(db,
                     sqlite3_prepare_v2(db,
                                        "SELECT rowid, File, User, Opened FROM Log "
                                        "WHERE Date = ? ORDER BY File, User",
                                        -1, &select, nullptr),
                     "select");
    if (ok) {
        sqlite3_bind_text(select, 1, today.c_str(), -1, SQLITE_STATIC);
        int rc;
        while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
            std::string key = folded(sqlite3_column_text(select, 1)) + '\0' +
                              folded(sqlite3_column_text(select, 2));
            const Row row{sqlite3_column_int64(select, 0), sqlite3_column_int(select, 3) != 0};
            if (row.opened) {
                openRows.emplace_back(row.rowid, key);
            }
            rows.emplace(std::move(key), row);
        }
        ok = check(db, rc, "step");
    }
    sqlite3_finalize(select);

    std::unordered_set<std::string> seenKeys;
    for (const RawSighting& s : seen) {
        seenKeys.insert(s.key);
    }
    sqlite3_stmt* close = nullptr;
    sqlite3_stmt* minute = nullptr;
    sqlite3_stmt* reopen = nullptr;
    sqlite3_stmt* insert = nullptr;
    ok = ok &&
         check(db,
               sqlite3_prepare_v2(db,
                                  "UPDATE Log SET Opened = 0, Out_Time = ?1, Mins = Mins + 1, "
                                  "Out_Times = IFNULL(Out_Times, '') || ?1 || ',' WHERE rowid = ?2",
                                  -1, &close, nullptr),
               "prepare") &&
         check(db,
               sqlite3_prepare_v2(db, "UPDATE Log SET Mins = Mins + 1 WHERE rowid = ?", -1, &minute,
                                  nullptr),
               "prepare") &&
         check(db,
               sqlite3_prepare_v2(db,
                                  "UPDATE Log SET Opens = Opens + 1, In_Times = "
                                  "IFNULL(In_Times, '') || ?1 || ',', Opened = -1 WHERE rowid = ?2",
                                  -1, &reopen, nullptr),
               "prepare") &&
         check(db,
               sqlite3_prepare_v2(db,
                                  "INSERT INTO Log (Date, File, User, In_Time, In_Times, Mins, "
                                  "Opens, Opened) VALUES (?1, ?2, ?3, ?4, ?4 || ',', 0, 1, -1)",
                                  -1, &insert, nullptr),
               "prepare");
    for (const auto& [rowid, key] : openRows) {
        if (!ok) {
            break;
        }
        if (!seenKeys.contains(key)) {
            sqlite3_bind_text(close, 1, time.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int64(close, 2, rowid);
            ok = check(db, sqlite3_step(close), "close");
            sqlite3_reset(close);
        }
    }
    for (const RawSighting& s : seen) {
        if (!ok) {
            break;
        }
        const auto row = rows.find(s.key);
        sqlite3_stmt* statement = minute;
        if (row == rows.end()) {
            statement = insert;
            sqlite3_bind_text(insert, 1, today.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 2, s.file.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, s.user.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 4, time.c_str(), -1, SQLITE_STATIC);
        } else if (row->second.opened) {
            sqlite3_bind_int64(minute, 1, row->second.rowid);
        } else {
            statement = reopen;
            sqlite3_bind_text(reopen, 1, time.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int64(reopen, 2, row->second.rowid);
        }
        ok = check(db, sqlite3_step(statement), "update");
        sqlite3_reset(statement);
    }
    for (sqlite3_stmt* statement : {close, minute, reopen, insert}) {
        sqlite3_finalize(statement);
    }
    ok = ok && check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    if (!ok) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    return ok;
}

void BM_UsageLogUpdate(benchmark::State& state) {
    const YearOfLog& log = yearOfLog();
    BenchClock clock;
    SilentPrompts prompts;
    QDate lastScanDate = kNow.date();
    UsageLog usageLog(log.path(), clock, prompts, lastScanDate);
    const ScanFileTable scan = fullScan();
    for (auto _ : state) {
        state.PauseTiming();
        clock.otherMinute();
        state.ResumeTiming();
        const QString reason = usageLog.UpdateUsageLog(scan);
        if (!reason.isEmpty()) {
            state.SkipWithError(qPrintable(reason));
            break;
        }
    }
    state.counters["log_rows"] = static_cast<double>(log.rows());
}

void BM_RawSqliteUpdate(benchmark::State& state) {
    const YearOfLog& log = yearOfLog();
    std::vector<RawSighting> seen;
    for (const ScanFileEntry& entry : fullScan()) {
        for (const QString& user : entry.Users) {
            seen.push_back({entry.Path.toStdString(), user.toStdString(),
                            (entry.Path.toLower() + QChar(0) + user.toLower()).toStdString()});
        }
    }
    const std::string path = log.path().toStdString();
    const std::string today = kNow.date().toString(Qt::ISODate).toStdString();
    const std::string time = timeText(kNow.time()).toStdString();
    for (auto _ : state) {
        if (!rawUpdate(path, seen, today, time)) {
            state.SkipWithError("the raw update failed");
            break;
        }
    }
    state.counters["log_rows"] = static_cast<double>(log.rows());
}

// The heaviest update: the first scan of a day closes the day before's 2,000 open rows
// and adds 2,000 new ones. On a copy, so the year's log stays as the others expect it.
void BM_UsageLogFirstScanOfADay(benchmark::State& state) {
    const QString path = yearOfLog().path() + QStringLiteral(".next-days");
    QFile::remove(path);
    if (!QFile::copy(yearOfLog().path(), path)) {
        state.SkipWithError("the log could not be copied");
        return;
    }
    BenchClock clock;
    SilentPrompts prompts;
    QDate lastScanDate = kNow.date();
    UsageLog usageLog(path, clock, prompts, lastScanDate);
    const ScanFileTable scan = fullScan();
    for (auto _ : state) {
        state.PauseTiming();
        clock.nextDay();
        state.ResumeTiming();
        const QString reason = usageLog.UpdateUsageLog(scan);
        if (!reason.isEmpty()) {
            state.SkipWithError(qPrintable(reason));
            break;
        }
    }
    usageLog.stopStoring();
    QFile::remove(path);
}

BENCHMARK(BM_UsageLogUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawSqliteUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UsageLogFirstScanOfADay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
