#include <gtest/gtest.h>

#include "monitor/AutoScan.h"
#include "support/FakeClock.h"

namespace tavrel {
namespace {

TEST(AutoScan, OffByDefaultWithThePlainTexts) {
    test::FakeClock clock;
    AutoScan autoScan(clock);
    EXPECT_FALSE(autoScan.isOn());
    EXPECT_EQ(autoScan.caption(), QStringLiteral("Tavrel"));
    EXPECT_EQ(autoScan.trayTip(), QStringLiteral("Tavrel"));
    EXPECT_EQ(autoScan.iconKey(), QStringLiteral("vigil"));
    EXPECT_FALSE(autoScan.LastScanDate.isValid());
}

TEST(AutoScan, SwitchingOnMarksTheMomentAndToday) {
    test::FakeClock clock(QDateTime(QDate(2026, 12, 8), QTime(16, 35, 20)));
    AutoScan autoScan(clock);
    autoScan.LastScanDate = QDate(2026, 11, 30);
    autoScan.switchOn();
    EXPECT_TRUE(autoScan.isOn());
    EXPECT_EQ(autoScan.caption(),
              QStringLiteral("Tavrel          Auto Scan Started: 12/08/2026 04:35 pm"));
    EXPECT_EQ(autoScan.trayTip(), QStringLiteral("Tavrel scanning..."));
    EXPECT_EQ(autoScan.iconKey(), QStringLiteral("scan"));
    EXPECT_EQ(autoScan.LastScanDate, QDate(2026, 12, 8));

    clock.advanceSeconds(24 * 3600);
    autoScan.switchOff();
    EXPECT_EQ(autoScan.caption(), QStringLiteral("Tavrel"));
    EXPECT_EQ(autoScan.LastScanDate, QDate(2026, 12, 8));  // kept until the next switch-on
    autoScan.switchOn();
    EXPECT_EQ(autoScan.LastScanDate, QDate(2026, 12, 9));
}

}  // namespace
}  // namespace tavrel
