// The query window on a year's usage log (100 files x 20 users x 365 days = 730,000
// rows): opening the window until its first rows and the exact count show, a heading
// sort, and Save CSV of every row, streamed from a forward-only read of the statement;
// and the translation of a 1 MB statement of the old dialect.
// The peak memory counter is the process's high-water mark: run one benchmark a process
// to read it for that benchmark alone.
//
//   bin/tavrel_query_bench --benchmark_filter=BM_OpenQueryWindow      (and so on)

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

#include "common/AppContext.h"
#include "external/logdb/LogDb.h"
#include "external/netware/EmulatedNetWare.h"
#include "logquery/ExportText.h"
#include "logquery/JetSql.h"
#include "logquery/QueryText.h"
#include "logquery/ResultGrid.h"
#include "logquery/ResultSet.h"
#include "logquery/ResultSort.h"
#include "logquery/frmData.h"
#include "support/FakeClock.h"
#include "support/LogRows.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// A year of the usage log in a temporary program folder, every row closed but today's.
class YearOfLog {
public:
    YearOfLog() {
        LogDb db;
        if (!db.create(path())) {
            return;
        }
        const LogDbResult fill = db.exec(QString::fromLatin1(test::kYearOfLogSql));
        if (!fill.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(fill.error.description));
        }
        db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        m_rows =
            db.exec(QStringLiteral("SELECT count(*) FROM Log")).rows.value(0).value(0).toLongLong();
    }
    QString folder() const { return m_dir.path() + QStringLiteral("/"); }
    QString path() const { return folder() + QStringLiteral("tavrel.mdb"); }
    qint64 rows() const { return m_rows; }

private:
    QTemporaryDir m_dir;
    qint64 m_rows = 0;
};

const YearOfLog& yearOfLog() {
    static const YearOfLog log;
    return log;
}

struct Services {
    test::MemorySettingsStore settings;
    test::FakeClock clock;
    test::ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    EmulatedNetWare netware{NetWareSite{}};
    AppContext context{settings, clock, prompts, platform, netware, netware};
};

// The window as the main window opens it, shown, until the grid has painted its first
// rows and knows the exact count.
void BM_OpenQueryWindow(benchmark::State& state) {
    const YearOfLog& log = yearOfLog();
    Services services;
    services.context.AppFolder = log.folder();
    qint64 records = 0;
    for (auto _ : state) {
        frmData window(services.context);
        window.Form_Load();
        window.show();
        QApplication::processEvents();
        records = window.grid->result().recordCount();
        benchmark::DoNotOptimize(window.DataGrid1->model()->index(0, 0).data());
    }
    state.counters["records"] = double(records);
    state.counters["peak_MB"] = peakRssMb();
}

// The year of log open under the query window's result set; false (the benchmark
// skipped) when it cannot be opened.
bool openYearOfLog(benchmark::State& state, LogDb& db, ResultSet& result) {
    if (!db.open(yearOfLog().path())) {
        state.SkipWithError("no log");
        return false;
    }
    result.setDatabase(db.database());
    return true;
}

// The same without the window: the statement run, the count and the first page.
void BM_FirstPageAndCount(benchmark::State& state) {
    LogDb db;
    ResultSet result;
    if (!openYearOfLog(state, db, result)) {
        return;
    }
    for (auto _ : state) {
        result.run(querytext::initialStatement());
        benchmark::DoNotOptimize(result.value(0, 0));
    }
    state.counters["records"] = double(result.recordCount());
    state.counters["peak_MB"] = peakRssMb();
}

// A click on the User heading: the statement again, ordered by a column with no index.
void BM_HeadingSort(benchmark::State& state) {
    LogDb db;
    ResultSet result;
    if (!openYearOfLog(state, db, result)) {
        return;
    }
    result.run(querytext::initialStatement());
    SortState sort;
    for (auto _ : state) {
        const std::optional<QString> label = sortOnColumn(result, sort, 2);
        if (!label || *label == QStringLiteral("Can't sort!")) {
            state.SkipWithError("the sort failed");
            break;
        }
        benchmark::DoNotOptimize(result.value(0, 0));
    }
    state.counters["peak_MB"] = peakRssMb();
}

// Save CSV of all 730,000 rows.
void BM_SaveCsvAllRows(benchmark::State& state) {
    LogDb db;
    ResultSet result;
    if (!openYearOfLog(state, db, result)) {
        return;
    }
    result.run(querytext::initialStatement());
    const QString path = yearOfLog().folder() + QStringLiteral("results.csv");
    qint64 bytes = 0;
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        QString error;
        if (!exporttext::writeCsv(result, file, &error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        bytes = file.size();
    }
    QFile::remove(path);
    state.counters["MB_written"] = double(bytes) / (1024.0 * 1024.0);
    state.counters["peak_MB"] = peakRssMb();
}

// Translating a 1 MB statement of the old dialect: conditions of calls nested 100 deep
// (the bound is 1,000), as a generated report might hold.
void BM_TranslateMegabyte(benchmark::State& state) {
    const QString condition = QStringLiteral(" OR UCase(") + QStringLiteral("Left(").repeated(99) +
                              QStringLiteral("User & #12/1/2003#") +
                              QStringLiteral(", 3)").repeated(99) + QStringLiteral(") = 'AL'");
    QString statement = QStringLiteral("SELECT * FROM Log WHERE False");
    while (statement.size() < 1024 * 1024) {
        statement += condition;
    }
    QString error;
    for (auto _ : state) {
        benchmark::DoNotOptimize(translateJetSql(statement, LogDb::Engine::SQLite, &error));
    }
    if (!error.isEmpty()) {
        state.SkipWithError(qPrintable(error));
    }
    state.counters["statement_MB"] = double(statement.size()) / (1024.0 * 1024.0);
}

BENCHMARK(BM_OpenQueryWindow)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstPageAndCount)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeadingSort)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveCsvAllRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_TranslateMegabyte)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tavrel::yearOfLog();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
