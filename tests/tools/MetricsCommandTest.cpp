#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include "support/PrometheusServer.h"
#include "support/TestEnvironment.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

const QString kOrders = QStringLiteral("G:\\APPS\\ORDERS.DBF");
const QString kLedger = QStringLiteral("K:\\LEDGER.DAT");

// tavrelctl metrics and watch --metrics on the built-in demo site, written into the
// program's folder on first use, with two of its files monitored.
class MetricsCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_environment = test::programEnvironment(m_dir);
        m_environment.remove(QStringLiteral("TAVREL_SITE"));
        ASSERT_EQ(run({"files", "add", kOrders, "Sales \"orders\""}).exitCode, 0);
        ASSERT_EQ(run({"files", "add", kLedger, "Ledger"}).exitCode, 0);
    }
    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, m_environment);
    }

    // Starts tavrelctl watch --metrics on a port the system chooses; its port, or 0.
    int startWatch(QProcess& watch, const QStringList& more = {}) {
        watch.setProcessEnvironment(m_environment);
        watch.start(QStringLiteral(TAVRELCTL_PATH),
                    QStringList{"watch", "--interval", "1", "--metrics", "127.0.0.1:0"} + more);
        QElapsedTimer waited;
        waited.start();
        while (!watch.canReadLine() && waited.elapsed() < 20000) {
            watch.waitForReadyRead(500);
        }
        const QString first = QString::fromUtf8(watch.readLine()).trimmed();
        const QString prefix = QStringLiteral("Metrics: http://127.0.0.1:");
        EXPECT_TRUE(first.startsWith(prefix)) << first.toStdString();
        return first.mid(prefix.size()).section(QLatin1Char('/'), 0, 0).toInt();
    }
    static void stop(QProcess& watch) {
        watch.terminate();
        ASSERT_TRUE(watch.waitForFinished(30000));
        EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
};

TEST_F(MetricsCommandTest, OneScansMetricsAsPromtoolAcceptsThem) {
    const test::CommandRun result = run({"metrics", "--users"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QString labels =
        R"({server="FS1",file="G:\\APPS\\ORDERS.DBF",description="Sales \"orders\""})";
    for (const QString& line :
         {"tavrel_file_holders" + labels + " 3", "tavrel_file_locked" + labels + " 1",
          "tavrel_file_scan_success" + labels + " 1",
          QStringLiteral("tavrel_server_up{server=\"FS2\"} 1"),
          QStringLiteral("tavrel_scans_total{result=\"completed\"} 1")}) {
        EXPECT_TRUE(result.out.contains(QLatin1Char('\n') + line + QLatin1Char('\n')))
            << line.toStdString() << "\n"
            << result.out.toStdString();
    }
    EXPECT_TRUE(
        result.out.contains(QStringLiteral("tavrel_user_holders{server=\"FS2\",file=\"K:"
                                           "\\\\LEDGER.DAT\",description=\"Ledger\",")));

    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (promtool.isEmpty()) {
        GTEST_SKIP() << "no promtool: Debian's prometheus is not installed (scripts/deps --test)";
    }
    QProcess check;
    check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    check.write(result.out.toUtf8());
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
}

TEST_F(MetricsCommandTest, TheTextfileIsWrittenWholeOrNotAtAll) {
    const QString path = m_dir.filePath(QStringLiteral("tavrel.prom"));
    const test::CommandRun written = run({"metrics", "--textfile", path});
    ASSERT_EQ(written.exitCode, 0) << written.err.toStdString();
    EXPECT_TRUE(written.out.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\ntavrel_server_up{server=\"FS1\"} 1\n"));

    const QString nowhere = m_dir.filePath(QStringLiteral("missing/tavrel.prom"));
    const test::CommandRun failed = run({"metrics", "--textfile", nowhere});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.startsWith("tavrelctl metrics: cannot write " + nowhere + ": "))
        << failed.err.toStdString();
}

TEST_F(MetricsCommandTest, AnAddressThatCannotBeServedStopsWatchAtOnce) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    const QString inUse = QStringLiteral("127.0.0.1:%1").arg(taken.serverPort());
    const struct {
        QStringList args;
        QString err;
    } cases[] = {
        {{"--metrics", inUse},
         "tavrelctl watch: cannot serve the metrics on " + inUse +
             ": The bound address is already in use\n"},
        {{"--metrics", "localhost:9755"},
         "tavrelctl watch: --metrics takes ADDRESS:PORT with an IP address, as 127.0.0.1:9755 "
         "or [::1]:9755, not localhost:9755\n"},
        {{"--metrics", "9755"},
         "tavrelctl watch: --metrics takes ADDRESS:PORT with an IP address, as 127.0.0.1:9755 "
         "or [::1]:9755, not 9755\n"},
        {{"--metrics-users"},
         "tavrelctl watch: --metrics-users goes with --metrics ADDRESS:PORT\n"},
    };
    for (const auto& c : cases) {
        const test::CommandRun result = run(QStringList{"watch"} + c.args);
        EXPECT_EQ(result.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(result.err, c.err);
        EXPECT_TRUE(result.out.isEmpty());
    }
}

TEST_F(MetricsCommandTest, ARealPrometheusScrapesWhatTheSiteHas) {
    QProcess watch;
    const int port = startWatch(watch);
    ASSERT_GT(port, 0);
    const std::optional<QByteArray> scraped = test::httpGet(port, QStringLiteral("/metrics"));
    ASSERT_TRUE(scraped);
    EXPECT_TRUE(scraped->contains("\n# TYPE tavrel_scans_total counter\n"));
    EXPECT_FALSE(test::httpGet(port, QStringLiteral("/other")));

    test::PrometheusServer prometheus(QStringLiteral("127.0.0.1:%1").arg(port));
    if (!prometheus.running()) {
        stop(watch);
        GTEST_SKIP() << prometheus.reason().toStdString();
    }
    const QString orders = QStringLiteral(R"(tavrel_file_holders{file="G:\\APPS\\ORDERS.DBF"})");
    const QString ledger = QStringLiteral(R"(tavrel_file_holders{file="K:\\LEDGER.DAT"})");
    EXPECT_EQ(prometheus.waitFor(orders, 3), 3);
    EXPECT_EQ(prometheus.waitFor(ledger, 2), 2);
    EXPECT_EQ(prometheus.waitFor(QStringLiteral(R"(tavrel_server_up{server="FS2"})"), 1), 1);

    // Connection 3 closes the orders file on the site: the next scrapes see two holders.
    const test::CommandRun closed = run({"site", "close", "3", kOrders});
    ASSERT_EQ(closed.exitCode, 0) << closed.err.toStdString();
    EXPECT_EQ(prometheus.waitFor(orders, 2), 2);

    // FS2 stops answering: its up series turns to 0, FS1's stays 1.
    const test::CommandRun failed =
        run({"site", "fail", "NWScanConnectionsUsingFile", "0x8801", "--server", "FS2"});
    ASSERT_EQ(failed.exitCode, 0) << failed.err.toStdString();
    EXPECT_EQ(prometheus.waitFor(QStringLiteral(R"(tavrel_server_up{server="FS2"})"), 0), 0);
    EXPECT_EQ(prometheus.query(QStringLiteral(R"(tavrel_server_up{server="FS1"})")), 1);
    EXPECT_EQ(prometheus.query(QStringLiteral(R"(tavrel_file_scan_success{server="FS2"})")), 0);
    stop(watch);
}

}  // namespace
}  // namespace tavrel
