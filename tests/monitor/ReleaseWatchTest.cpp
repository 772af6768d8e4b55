#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "common/IniSettingsStore.h"
#include "monitor/ReleaseWatch.h"
#include "support/FakeClock.h"

namespace tavrel {
namespace {

const QString kOrders = QStringLiteral("G:\\APPS\\ORDERS.DBF");

ScanFileEntry held(const QStringList& users, bool complete = true) {
    return ScanFileEntry{kOrders, users.isEmpty() ? QStringList{QString()} : users, complete, true};
}

QStringList texts(const QList<ReleaseNotice>& notices) {
    QStringList result;
    for (const ReleaseNotice& notice : notices) {
        result.append(notice.title + ": " + notice.text);
    }
    return result;
}

class ReleaseWatchTest : public ::testing::Test {
protected:
    QStringList scan(const ScanFileEntry& entry, qint64 minutesLater = 1) {
        clock.advanceSeconds(minutesLater * 60);
        return texts(watch.scanned({entry}));
    }
    test::FakeClock clock;
    ReleaseWatch watch{clock};
};

TEST_F(ReleaseWatchTest, AnArmedFileFreedAtTheThirdScanIsNotifiedOnce) {
    watch.setArmed("g:\\apps\\orders.dbf", true);
    EXPECT_TRUE(watch.armed(kOrders));
    EXPECT_EQ(scan(held({"ANNA", "BOB"})), QStringList());
    EXPECT_EQ(scan(held({"BOB"})), QStringList());
    EXPECT_EQ(scan(held({})),
              QStringList("File free: G:\\APPS\\ORDERS.DBF is free: nobody holds it any more."));
    EXPECT_FALSE(watch.armed(kOrders));
    EXPECT_EQ(scan(held({})), QStringList());
}

TEST_F(ReleaseWatchTest, AScanThatCouldNotSeeEveryoneNeverCountsAsFree) {
    const ScanFileEntry unsure[] = {
        held({}, false),                                   // the connection scan failed
        held({QString()}, false),                          // a user could not be named
        ScanFileEntry{kOrders, {QString()}, true, false},  // "[N/A]"
    };
    watch.setArmed(kOrders, true);
    for (const ScanFileEntry& entry : unsure) {
        EXPECT_FALSE(fileIsFree(entry));
        EXPECT_EQ(scan(entry), QStringList());
    }
    EXPECT_TRUE(watch.armed(kOrders));
}

TEST_F(ReleaseWatchTest, AStayCrossingTheLimitAlertsOnceAndANewStayAgain) {
    watch.setHeldLimitMinutes(30);
    EXPECT_EQ(scan(held({"ANNA"})), QStringList());
    EXPECT_EQ(scan(held({"ANNA", "BOB"}), 28), QStringList());
    const QStringList anna{
        "File held too long: G:\\APPS\\ORDERS.DBF has been held by ANNA for 30 minutes."};
    EXPECT_EQ(scan(held({"ANNA", "BOB"}), 2), anna);
    EXPECT_EQ(scan(held({"ANNA", "BOB"}), 60), QStringList("File held too long: "
                                                           "G:\\APPS\\ORDERS.DBF has been held "
                                                           "by BOB for 1 hour 2 minutes."));
    // Unseen by a scan that failed half-way, Anna is still counted as holding it.
    EXPECT_EQ(scan(held({"BOB"}, false)), QStringList());
    EXPECT_EQ(scan(held({"ANNA", "BOB"})), QStringList());
    // Closed and opened again: a new stay.
    EXPECT_EQ(scan(held({"BOB"})), QStringList());
    EXPECT_EQ(scan(held({"ANNA", "BOB"})), QStringList());
    EXPECT_EQ(scan(held({"ANNA", "BOB"}), 30), anna);
}

TEST_F(ReleaseWatchTest, TheLimitIsCountedAcrossMidnightAndFromTheLogsOpenTime) {
    clock.set(QDateTime(QDate(2026, 12, 8), QTime(23, 40)));
    watch.setHeldLimitMinutes(60);
    EXPECT_EQ(scan(held({"ANNA"}), 0), QStringList());
    EXPECT_EQ(scan(held({"ANNA"}), 59), QStringList());  // 00:39
    EXPECT_EQ(scan(held({"ANNA"}), 1).size(), 1);

    // A user already holding the file when this run began counts from the log's time.
    ReleaseWatch fromLog(clock);
    fromLog.setHeldLimitMinutes(60);
    fromLog.setStayStart([&](const QString& path, const QString& user) {
        EXPECT_EQ(path, kOrders);
        EXPECT_EQ(user, "ANNA");
        return std::optional<QDateTime>(clock.now().addSecs(-2 * 3600));
    });
    const QList<ReleaseNotice> notices = fromLog.scanned({held({"ANNA"})});
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].minutes, 120);
}

TEST(ReleaseTexts, DurationsAndTheHeldLimitSetting) {
    const std::pair<qint64, const char*> durations[] = {
        {1, "1 minute"}, {45, "45 minutes"}, {60, "1 hour"}, {125, "2 hours 5 minutes"}};
    for (const auto& [minutes, text] : durations) {
        EXPECT_EQ(durationText(minutes), text);
    }
    ReleaseNotice freed{ReleaseNotice::Kind::Free, "A", "", 0, "File free", "A is free"};
    ReleaseNotice held = freed;
    held.title = "File held too long";
    using Message = std::pair<QString, QString>;
    EXPECT_EQ(noticeMessage({freed}), Message("File free", "A is free"));
    EXPECT_EQ(noticeMessage({freed, freed}).first, "File free");
    EXPECT_EQ(noticeMessage({freed, held}), Message("Tavrel", "A is free\nA is free"));

    QTemporaryDir dir;
    IniSettingsStore store(dir.path());
    EXPECT_EQ(loadHeldLimitMinutes(store), 0);
    for (const auto& [stored, read] : {std::pair{"90", 90}, {" 15 ", 15}, {"-5", 0}, {"x", 0}}) {
        store.SaveSetting("Tavrel", "Alerts", "HeldLongerThan", stored);
        EXPECT_EQ(loadHeldLimitMinutes(store), read) << stored;
    }
    EXPECT_TRUE(saveHeldLimitMinutes(store, 240));
    EXPECT_EQ(store.GetSetting("Tavrel", "Alerts", "HeldLongerThan"), "240");
}

}  // namespace
}  // namespace tavrel
