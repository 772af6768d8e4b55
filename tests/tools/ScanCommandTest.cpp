#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "common/IniSettingsStore.h"
#include "external/logdb/LogDb.h"
#include "external/netware/SiteFile.h"
#include "filelist/FileListStore.h"
#include "monitor/LogWriterLock.h"
#include "support/BigSite.h"
#include "support/TestSite.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

// tavrelctl's files, scan, log and watch commands, run as separate processes on a site
// file, settings and program folder of their own.
class CtlCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_environment.insert("TAVREL_HOME", m_dir.filePath("app"));
        m_environment.insert("TAVREL_SITE", m_dir.filePath("site.json"));
        m_environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        m_environment.insert("HOME", m_dir.filePath("home"));
        QDir().mkpath(m_dir.filePath("app"));
        saveSite(test::makeTestSite(m_dir.path()));
    }

    void saveSite(const NetWareSite& site) {
        ASSERT_EQ(SiteFile(m_dir.filePath("site.json")).save(site), QString());
    }
    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, m_environment);
    }
    IniSettingsStore settings() const { return IniSettingsStore(m_dir.filePath("config")); }
    QString database() const { return m_dir.filePath("app/tavrel.mdb"); }
    // The Log rows as "USER Opens Mins Opened", in user order.
    QStringList rows() const {
        LogDb db;
        if (!db.open(database())) {
            return {};
        }
        QStringList result;
        for (const QVariantList& row :
             db.exec("SELECT User, Opens, Mins, Opened FROM Log ORDER BY User").rows) {
            result.append(QStringLiteral("%1 %2 %3 %4")
                              .arg(row[0].toString(), row[1].toString(), row[2].toString(),
                                   row[3].toString()));
        }
        return result;
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(CtlCommandTest, FilesFollowTheEditorsRules) {
    test::CommandRun r = run({"files", "list"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QString());

    EXPECT_EQ(run({"files", "add", "G:\\APPS\\ORDERS.DBF", "  Orders", "file  "}).exitCode, 0);
    EXPECT_EQ(run({"files", "add", "H:\\CUSTOMER.DBF", QString(60, QLatin1Char('c'))}).exitCode, 0);
    const QString listed = QStringLiteral(
                               "1\tG:\\APPS\\ORDERS.DBF\tOrders file\n"
                               "2\tH:\\CUSTOMER.DBF\t") +
                           QString(55, QLatin1Char('c')) + QLatin1Char('\n');
    EXPECT_EQ(run({"files", "list"}).out, listed);

    struct Refusal {
        QStringList args;
        const char* message;
    };
    const Refusal refusals[] = {
        {{"files", "add", "g:\\apps\\orders.dbf"}, "Unable to save. This item already exists."},
        {{"files", "add", "G:\\APPS\\MISSING.DBF"},
         "Invalid file! File must reside on file server."},
        {{"files", "add", "D:\\"}, "Invalid file! File must reside on file server."},
        {{"files", "delete", "3"}, "there is no file number 3 (the list has 2 files)"},
        {{"files", "delete", "one"}, "there is no file number one"},
    };
    for (const Refusal& refusal : refusals) {
        r = run(refusal.args);
        EXPECT_EQ(r.exitCode, 1) << refusal.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(refusal.message))) << r.err.toStdString();
    }
    EXPECT_EQ(run({"files", "list"}).out, listed);
    EXPECT_EQ(run({"files", "frobnicate"}).exitCode, 2);

    EXPECT_EQ(run({"files", "delete", "1"}).exitCode, 0);
    EXPECT_TRUE(run({"files", "list"}).out.startsWith("1\tH:\\CUSTOMER.DBF\t"));
}

TEST_F(CtlCommandTest, ScanPrintsTheTreeAsTheWindowShowsIt) {
    test::CommandRun r = run({"scan"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              QStringLiteral("Status: No files exist. Click the Add File Button to add some.\n"));

    IniSettingsStore store = settings();
    ASSERT_TRUE(SaveFileEntry(store, 1, "G:\\APPS\\ORDERS.DBF", QString()));
    ASSERT_TRUE(SaveFileEntry(store, 2, "H:\\CUSTOMER.DBF", QString()));
    r = run({"scan", "--no-details"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Tree\n"
                                    "  G:\\APPS\\ORDERS.DBF[3]\n"
                                    "    ALICE\n"
                                    "    BOB\n"
                                    "    ADMIN\n"
                                    "  H:\\CUSTOMER.DBF[0]\n"
                                    "Status: Idle\n"));

    r = run({"scan"});
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("\n    ALICE\n      Connection No: 3\n      Task No: 1\n")))
        << r.out.toStdString();
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("      Network Address: IPX:0000ABCD:00A0C91E2F30:4003\n")));

    r = run({"scan", "--json", "--no-details"});
    EXPECT_EQ(r.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(json.value("status").toString(), QStringLiteral("Idle"));
    const QJsonObject root = json.value("nodes").toArray().at(0).toObject();
    EXPECT_EQ(root.value("text").toString(), QStringLiteral("Tree"));
    EXPECT_EQ(root.value("tag").toString(), QStringLiteral("1"));
    EXPECT_EQ(root.value("image").toString(), QStringLiteral("tree"));
    const QJsonObject orders = root.value("children").toArray().at(0).toObject();
    EXPECT_TRUE(orders.value("tag").toString().startsWith(QStringLiteral("2,")));
    EXPECT_EQ(orders.value("children").toArray().at(1).toObject().value("tag").toString(),
              QStringLiteral("3,4"));

    EXPECT_EQ(run({"scan", "--frobnicate"}).exitCode, 2);
}

TEST_F(CtlCommandTest, ScanOnTheDemoSite) {
    m_environment.remove("TAVREL_SITE");  // the demo site, written into the program's folder
    ASSERT_EQ(run({"files", "add", "G:\\APPS\\ORDERS.DBF", "Sales orders"}).exitCode, 0);
    ASSERT_EQ(run({"files", "add", "K:\\LEDGER.DAT"}).exitCode, 0);
    const test::CommandRun r = run({"scan"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const char* line :
         {"  G:\\APPS\\ORDERS.DBF[3]\n    ALICE\n      Connection No: 3\n", "  K:\\LEDGER.DAT[2]\n",
          "      Directory Rights: ", "      Login Time: ", "      Network Address: IPX:"}) {
        EXPECT_TRUE(r.out.contains(QLatin1String(line))) << line << "\n" << r.out.toStdString();
    }
    EXPECT_TRUE(QFile::exists(m_dir.filePath("app/site.json")));
}

TEST_F(CtlCommandTest, ScanEndsOnAPathNoServerHolds) {
    IniSettingsStore store = settings();
    QFile local(m_dir.filePath("local/notes.txt"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.close();
    ASSERT_TRUE(SaveFileEntry(store, 1, "D:\\notes.txt", QString()));
    const test::CommandRun r = run({"scan"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.endsWith("Status: Unable to parse path for file D:\\notes.txt.\n"))
        << r.out.toStdString();
}

TEST_F(CtlCommandTest, LogKeepsTheUsageLogAcrossRuns) {
    IniSettingsStore store = settings();
    ASSERT_TRUE(SaveFileEntry(store, 1, "G:\\APPS\\ORDERS.DBF", QString()));

    test::CommandRun r = run({"log"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(rows(), QStringList({"ADMIN 1 0 -1", "ALICE 1 0 -1", "BOB 1 0 -1"}));
    EXPECT_EQ(store.GetSetting("Tavrel", "Log", "LastScanDate"),
              QDate::currentDate().toString(Qt::ISODate));

    ASSERT_EQ(run({"site", "close", "3", "G:\\APPS\\ORDERS.DBF"}).exitCode, 0);
    ASSERT_EQ(run({"log"}).exitCode, 0);
    EXPECT_EQ(rows(), QStringList({"ADMIN 1 1 -1", "ALICE 1 1 0", "BOB 1 1 -1"}));

    // Another writer storing results: this run skips its update and says so.
    LogWriterLock other(database());
    ASSERT_EQ(other.acquire(), QString());
    r = run({"log"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("log not updated: ")) << r.err.toStdString();
    other.release();
    EXPECT_EQ(rows(), QStringList({"ADMIN 1 1 -1", "ALICE 1 1 0", "BOB 1 1 -1"}));
}

TEST_F(CtlCommandTest, WatchScansEveryIntervalUntilASignal) {
    IniSettingsStore store = settings();
    ASSERT_TRUE(SaveFileEntry(store, 1, "G:\\APPS\\ORDERS.DBF", QString()));
    EXPECT_EQ(run({"watch", "--interval", "0"}).exitCode, 2);

    QProcess watch;
    watch.setProcessEnvironment(m_environment);
    watch.start(QStringLiteral(TAVRELCTL_PATH), {"watch", "--interval", "1", "--store"});
    QStringList lines;
    QElapsedTimer waited;
    waited.start();
    while (lines.size() < 2 && waited.elapsed() < 30000) {
        watch.waitForReadyRead(1000);
        while (watch.canReadLine()) {
            lines.append(QString::fromUtf8(watch.readLine()).trimmed());
        }
    }
    watch.terminate();  // SIGTERM
    ASSERT_TRUE(watch.waitForFinished(30000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
    ASSERT_GE(lines.size(), 2);
    const QRegularExpression line(QStringLiteral("^\\d\\d:\\d\\d [ap]m  1 file  3 users  Idle$"));
    EXPECT_TRUE(line.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(rows().size(), 3);
    EXPECT_FALSE(QFile::exists(LogWriterLock::pathFor(database())));  // let go at the end
}

// A kill at any moment of a large update leaves a sound log holding the state before or
// after that update, and the next run goes on from there.
TEST_F(CtlCommandTest, KilledLogRunsLeaveTheOldOrTheNewState) {
    const test::BigSite big{600, 240, 50};  // 20 connections on each of 600 files
    QDir().mkpath(m_dir.filePath("big"));
    NetWareSite site = big.build(m_dir.filePath("big/sys"));
    saveSite(site);
    IniSettingsStore store = settings();
    for (int file = 0; file < big.files; ++file) {
        ASSERT_TRUE(SaveFileEntry(store, file + 1, big.monitoredPath(file), QString()));
    }
    const auto state = [&] {
        LogDb db;
        if (!QFile::exists(database()) || !db.open(database())) {
            return std::pair<qint64, qint64>{0, 0};
        }
        EXPECT_EQ(db.exec("PRAGMA integrity_check").rows.value(0).value(0).toString(), "ok");
        const QVariantList row = db.exec("SELECT count(*), total(Mins) FROM Log").rows.value(0);
        return std::pair<qint64, qint64>{row.value(0).toLongLong(), row.value(1).toLongLong()};
    };

    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(run({"log"}).exitCode, 0);
    const qint64 fullRunMs = std::max<qint64>(timer.elapsed(), 50);
    const qint64 rowCount = big.files * 20;
    ASSERT_EQ(state(), std::make_pair(rowCount, qint64(0)));

    constexpr int kAttempts = 12;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::pair<qint64, qint64> before = state();
        QProcess log;
        log.setProcessEnvironment(m_environment);
        log.start(QStringLiteral(TAVRELCTL_PATH), {"log"});
        ASSERT_TRUE(log.waitForStarted());
        QThread::msleep(fullRunMs * attempt / kAttempts + 5);
        log.kill();  // SIGKILL
        log.waitForFinished();
        const std::pair<qint64, qint64> after = state();
        EXPECT_TRUE(after == before || after == std::make_pair(rowCount, before.second + rowCount))
            << "attempt " << attempt << ": " << after.first << " rows, " << after.second
            << " minutes";
    }
    const std::pair<qint64, qint64> before = state();
    const test::CommandRun last = run({"log"});
    EXPECT_EQ(last.exitCode, 0) << last.err.toStdString();
    EXPECT_EQ(state(), std::make_pair(rowCount, before.second + rowCount));
}

}  // namespace
}  // namespace tavrel
