#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "Form1Fixture.h"

namespace tavrel::test {
namespace {

TEST_F(Form1Test, AutoScanOnAndOffChangesTheWindow) {
    addFiles({"G:\\A.DBF"});
    clock.set(QDateTime(QDate(2026, 12, 8), QTime(16, 35)));
    Form1& f = load();
    f.ckDatabase->setChecked(true);

    f.ckAutoScan->click();
    EXPECT_EQ(f.windowTitle(), "Tavrel          Auto Scan Started: 12/08/2026 04:35 pm");
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 60000);
    EXPECT_FALSE(shown(f.cmdScan));
    EXPECT_TRUE(shown(f.ckDatabase));
    EXPECT_FALSE(shown(f.cmdAddFile));
    EXPECT_FALSE(shown(f.cmdEditFile));
    EXPECT_FALSE(shown(f.cmdDeleteFile));
    EXPECT_EQ(f.windowIcon().cacheKey(), f.ImageList1.icon("scan").cacheKey());
    EXPECT_TRUE(tray->shown);
    EXPECT_EQ(tray->tip, "Tavrel scanning...");
    EXPECT_EQ(tray->icon.cacheKey(), f.ImageList1.icon("scan").cacheKey());
    EXPECT_EQ(f.autoScan().LastScanDate, QDate(2026, 12, 8));
    // No scan yet: the first comes with the timer.
    EXPECT_EQ(f.statusText(), "Welcome to Tavrel! Press the F1 key for help.");

    f.ckAutoScan->click();
    EXPECT_EQ(f.windowTitle(), "Tavrel");
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_TRUE(shown(f.cmdScan));
    EXPECT_FALSE(shown(f.ckDatabase));
    EXPECT_TRUE(f.ckDatabase->isChecked());  // kept for the next time
    EXPECT_TRUE(shown(f.cmdAddFile));
    EXPECT_FALSE(shown(f.cmdEditFile));
    EXPECT_EQ(f.windowIcon().cacheKey(), f.ImageList1.icon("vigil").cacheKey());
    EXPECT_EQ(tray->tip, "Tavrel");
    EXPECT_TRUE(tray->shown);
}

TEST_F(Form1Test, TheTimerScansAgain) {
    Form1& f = load();
    f.ckAutoScan->setChecked(true);
    f.Timer1_Timer();
    EXPECT_EQ(f.statusText(), "No files exist. Click the Add File Button to add some.");
    EXPECT_TRUE(f.Timer1->isActive());
}

TEST_F(Form1Test, MinimisingHidesIntoTheTrayAndALeftClickBringsItBack) {
    Form1& f = load();
    f.show();
    EXPECT_FALSE(f.mnuTrayRestore->isEnabled());
    f.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isHidden());
    EXPECT_TRUE(f.mnuTrayRestore->isEnabled());

    tray->click(Qt::LeftButton);
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isMinimized());
    EXPECT_FALSE(f.mnuTrayRestore->isEnabled());
}

TEST_F(Form1Test, TheTrayMenuRestoresAndExits) {
    Form1& f = load();
    f.show();
    f.showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.isHidden());
    tray->click(Qt::RightButton);
    EXPECT_TRUE(f.mnuTray->isVisible());
    EXPECT_EQ(f.mnuTray->actions().value(0)->text(), "Restore");
    EXPECT_EQ(f.mnuTray->actions().value(1)->text(), "Exit");
    f.mnuTrayRestore->trigger();
    f.mnuTray->hide();
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isMinimized());
    EXPECT_FALSE(f.mnuTrayRestore->isEnabled());

    // Exit goes through the auto scan question; No keeps window and icon.
    f.ckAutoScan->setChecked(true);
    prompts.answer(MessageAnswer::No);
    f.mnuTrayExit->trigger();
    EXPECT_EQ(prompts.messages(), QStringList({"Auto scan is active. Do you still want to exit?"}));
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(tray->shown);
    prompts.answer(MessageAnswer::Yes);
    f.mnuTrayExit->trigger();
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_FALSE(tray->shown);
}

TEST_F(Form1Test, ExitFromTheTrayWorksWhileTheWindowIsHidden) {
    Form1& f = load();
    f.show();
    f.showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.isHidden());
    f.mnuTrayExit->trigger();
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_EQ(treeWrites().size(), 8);
}

TEST_F(Form1Test, WithoutATrayMinimisingKeepsTheOrdinaryMinimise) {
    hasTray = false;
    Form1& f = load();
    f.show();
    f.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.isHidden());
    EXPECT_TRUE(f.isMinimized());
    EXPECT_TRUE(f.mnuTrayRestore->isEnabled());
    f.showNormal();
    EXPECT_FALSE(f.mnuTrayRestore->isEnabled());
}

}  // namespace
}  // namespace tavrel::test

namespace tavrel::test {
namespace {

TEST_F(Form1Test, TheScansYieldLetsEventsRunOnlyNowAndThen) {
    Form1& f = create();
    f.setYieldIntervalMs(60 * 1000);
    int ran = 0;
    f.yield();  // the first yield of a run always lets them run
    QTimer::singleShot(0, &f, [&] { ++ran; });
    f.yield();
    EXPECT_EQ(ran, 0);
    f.setYieldIntervalMs(0);
    f.yield();
    EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace tavrel::test
