#include <gtest/gtest.h>

#include <QRegularExpression>

#include "monitor/MetricsSnapshot.h"
#include "monitor/MetricsText.h"

namespace tavrel {
namespace {

FileMetrics heldFile() {
    FileMetrics file;
    file.server = QStringLiteral("FS1");
    file.path = QStringLiteral("G:\\APPS\\ORDERS.DBF");
    file.description = QStringLiteral("Sales \"orders\"\nand more");
    file.holders = 2;
    file.locked = true;
    file.scanned = true;
    file.longestHoldSeconds = 7200;
    file.users = {{QStringLiteral("ALICE"), 2, 7200}};
    return file;
}

TEST(MetricsExpositionTest, TheWholeTextOfOneScan) {
    ScanMetrics metrics;
    metrics.completed = true;
    metrics.files = {heldFile()};
    metrics.servers = {{QStringLiteral("FS1"), true}, {QStringLiteral("FS2"), false}};
    metrics.durationSeconds = 0.25;
    metrics.endedSeconds = 1796720700.5;
    metrics.scansByResult = {{QStringLiteral("completed"), 3}, {QStringLiteral("stopped"), 1}};
    metrics.logStoreFailures = 2;
    const QByteArray labels =
        R"(server="FS1",file="G:\\APPS\\ORDERS.DBF",description="Sales \"orders\"\nand more")";
    const QByteArray files =
        "# HELP tavrel_file_holders Connections holding the monitored file open.\n"
        "# TYPE tavrel_file_holders gauge\n"
        "tavrel_file_holders{" +
        labels +
        "} 2\n"
        "# HELP tavrel_file_locked 1 when a connection holding the file has it locked.\n"
        "# TYPE tavrel_file_locked gauge\n"
        "tavrel_file_locked{" +
        labels +
        "} 1\n"
        "# HELP tavrel_file_scan_success 1 when the scan could ask the server who holds the "
        "file and name them all.\n"
        "# TYPE tavrel_file_scan_success gauge\n"
        "tavrel_file_scan_success{" +
        labels +
        "} 1\n"
        "# HELP tavrel_file_found 1 when the monitored file exists.\n"
        "# TYPE tavrel_file_found gauge\n"
        "tavrel_file_found{" +
        labels +
        "} 1\n"
        "# HELP tavrel_file_longest_hold_seconds How long the longest current holder has been "
        "seen holding the file.\n"
        "# TYPE tavrel_file_longest_hold_seconds gauge\n"
        "tavrel_file_longest_hold_seconds{" +
        labels + "} 7200\n";
    const QByteArray users =
        "# HELP tavrel_user_holders Connections of the user holding the monitored file open.\n"
        "# TYPE tavrel_user_holders gauge\n"
        "tavrel_user_holders{" +
        labels +
        ",user=\"ALICE\"} 2\n"
        "# HELP tavrel_user_hold_seconds How long the user has been seen holding the file.\n"
        "# TYPE tavrel_user_hold_seconds gauge\n"
        "tavrel_user_hold_seconds{" +
        labels + ",user=\"ALICE\"} 7200\n";
    const QByteArray scan =
        "# HELP tavrel_scan_duration_seconds How long the last completed scan took.\n"
        "# TYPE tavrel_scan_duration_seconds gauge\n"
        "tavrel_scan_duration_seconds 0.250\n"
        "# HELP tavrel_last_scan_timestamp_seconds When the last completed scan ended, in "
        "seconds since the Unix epoch.\n"
        "# TYPE tavrel_last_scan_timestamp_seconds gauge\n"
        "tavrel_last_scan_timestamp_seconds 1796720700.500\n"
        "# HELP tavrel_server_up 1 when the server answered the last completed scan, 0 when "
        "it could not be read.\n"
        "# TYPE tavrel_server_up gauge\n"
        "tavrel_server_up{server=\"FS1\"} 1\n"
        "tavrel_server_up{server=\"FS2\"} 0\n";
    const QByteArray counters =
        "# HELP tavrel_scans_total Scans since the program started, by result.\n"
        "# TYPE tavrel_scans_total counter\n"
        "tavrel_scans_total{result=\"completed\"} 3\n"
        "tavrel_scans_total{result=\"stopped\"} 1\n"
        "# HELP tavrel_log_store_failures_total Completed scans whose results could not be "
        "stored in the usage log.\n"
        "# TYPE tavrel_log_store_failures_total counter\n"
        "tavrel_log_store_failures_total 2\n";
    EXPECT_EQ(metricsExposition(metrics, false), files + scan + counters);
    EXPECT_EQ(metricsExposition(metrics, true), files + users + scan + counters);

    // Before any scan completed there are only the counters.
    metrics.completed = false;
    EXPECT_EQ(metricsExposition(metrics, true), counters);
}

TEST(MetricsExpositionTest, LabelValuesAreEscaped) {
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral("plain"), "plain"},
        {QStringLiteral("a\\b"), "a\\\\b"},
        {QStringLiteral("say \"hi\""), "say \\\"hi\\\""},
        {QStringLiteral("two\nlines"), "two\\nlines"},
        {QStringLiteral("tab\there"), "tab\there"},
        {QStringLiteral("Müller\\\"\n"), "M\xc3\xbcller\\\\\\\"\\n"},
    };
    for (const auto& [value, escaped] : cases) {
        ScanMetrics metrics;
        metrics.completed = true;
        metrics.servers = {{value, true}};
        EXPECT_TRUE(metricsExposition(metrics, false)
                        .contains("\ntavrel_server_up{server=\"" + escaped + "\"} 1\n"))
            << value.toStdString();
    }
}

// A snapshot fed as tavrelctl watch feeds it, read back sample by sample.
class MetricsSnapshotTest : public ::testing::Test {
protected:
    static ScanFileEntry entry(const char* path, QStringList users, bool complete = true,
                               bool answered = true, const char* server = "FS1") {
        ScanFileEntry e;
        e.Path = QLatin1String(path);
        e.Server = QLatin1String(server);
        e.Connections = int(users.size());
        e.Users = users.isEmpty() ? QStringList{QString()} : users;
        e.UsersComplete = complete;
        e.Answered = answered;
        return e;
    }
    void scan(const ScanFileTable& files, qint64 atSeconds) {
        m_snapshot.scanCompleted(files, {}, m_start.addSecs(atSeconds));
        m_snapshot.scanEnded(ScanOutcome::Completed, 40, false);
    }
    // The value of the sample whose name and labels start as given; -1 when none does.
    double sample(const QString& start) const {
        const QString text = QString::fromUtf8(m_snapshot.text());
        const QRegularExpression line(QLatin1Char('^') + QRegularExpression::escape(start) +
                                          QStringLiteral("[^\\n]* (\\S+)$"),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = line.match(text);
        return match.hasMatch() ? match.captured(1).toDouble() : -1;
    }
    double held(const char* file) const {
        return sample(QStringLiteral("tavrel_file_longest_hold_seconds{server=\"FS1\",file=\"") +
                      QLatin1String(file) + QLatin1Char('"'));
    }
    double userHeld(const char* user) const {
        return sample(QStringLiteral("tavrel_user_hold_seconds{server=\"FS1\",file=\"A\","
                                     "description=\"\",user=\"") +
                      QLatin1String(user) + QLatin1Char('"'));
    }

    MetricsSnapshot m_snapshot{true};
    const QDateTime m_start{QDate(2026, 12, 8), QTime(9, 0)};
};

TEST_F(MetricsSnapshotTest, AHoldCountsFromTheFirstScanThatSawIt) {
    scan({entry("A", {"ALICE", "BOB"})}, 0);
    EXPECT_EQ(held("A"), 0);
    scan({entry("A", {"ALICE", "BOB", "ALICE"})}, 60);
    EXPECT_EQ(held("A"), 60);
    EXPECT_EQ(sample("tavrel_user_holders{server=\"FS1\",file=\"A\",description=\"\","
                     "user=\"ALICE\"}"),
              2);
    // BOB let go and came back: his hold starts again. ALICE's goes on.
    scan({entry("A", {"ALICE"})}, 120);
    scan({entry("A", {"ALICE", "BOB"})}, 180);
    EXPECT_EQ(userHeld("ALICE"), 180);
    EXPECT_EQ(userHeld("BOB"), 0);
    // A scan that could not tell everyone ends no hold, though it sees only ALICE.
    scan({entry("A", {"ALICE"}, false)}, 240);
    scan({entry("A", {"ALICE", "BOB"})}, 300);
    EXPECT_EQ(userHeld("BOB"), 120);
    // A file nobody holds holds nothing, and a hold ends when the file is gone.
    scan({entry("A", {})}, 360);
    EXPECT_EQ(held("A"), 0);
    EXPECT_EQ(userHeld("ALICE"), -1);
    scan({entry("A", {"ALICE"})}, 420);
    EXPECT_EQ(held("A"), 0);
}

TEST_F(MetricsSnapshotTest, AServerIsUpWhenItAnsweredForAnyOfItsFiles) {
    ScanFileEntry gone = entry("C", {}, true, false, "FS3");
    gone.Found = false;
    scan({entry("A", {}, false, false), entry("B", {}), entry("D", {"X"}, false, false, "FS2"),
          gone},
         0);
    EXPECT_EQ(sample("tavrel_server_up{server=\"FS1\"}"), 1);
    EXPECT_EQ(sample("tavrel_server_up{server=\"FS2\"}"), 0);
    EXPECT_EQ(sample("tavrel_server_up{server=\"FS3\"}"), -1);  // a missing file asks nobody
    EXPECT_EQ(sample("tavrel_file_scan_success{server=\"FS1\",file=\"A\""), 0);
    EXPECT_EQ(sample("tavrel_file_scan_success{server=\"FS1\",file=\"B\""), 1);
    EXPECT_EQ(sample("tavrel_file_scan_success{server=\"FS3\",file=\"C\""), 0);
    EXPECT_EQ(sample("tavrel_file_found{server=\"FS3\",file=\"C\""), 0);
    EXPECT_EQ(sample("tavrel_file_holders{server=\"FS2\",file=\"D\""), 1);
}

TEST_F(MetricsSnapshotTest, ScansAreCountedByHowTheyEnded) {
    EXPECT_EQ(sample("tavrel_scans_total{result=\"completed\"}"), 0);
    EXPECT_EQ(sample("tavrel_scan_duration_seconds"), -1);
    scan({entry("A", {})}, 0);
    m_snapshot.scanEnded(ScanOutcome::Stopped, 900, false);
    m_snapshot.scanEnded(ScanOutcome::Refused, 0, false);
    m_snapshot.scanCompleted({entry("A", {})}, {}, m_start);
    m_snapshot.scanEnded(ScanOutcome::Completed, 1500, true);
    EXPECT_EQ(sample("tavrel_scans_total{result=\"completed\"}"), 2);
    EXPECT_EQ(sample("tavrel_scans_total{result=\"stopped\"}"), 1);
    EXPECT_EQ(sample("tavrel_scans_total{result=\"timed_out\"}"), 0);
    EXPECT_EQ(sample("tavrel_scans_total{result=\"refused\"}"), -1);
    EXPECT_EQ(sample("tavrel_log_store_failures_total"), 1);
    EXPECT_EQ(sample("tavrel_scan_duration_seconds"), 1.5);
}

}  // namespace
}  // namespace tavrel
