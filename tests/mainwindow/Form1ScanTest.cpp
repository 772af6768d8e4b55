#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "Form1Fixture.h"
#include "external/netware/EmulatedNetWare.h"
#include "mainwindow/frmFind.h"
#include "monitor/LogWriterLock.h"
#include "support/RecordingNetWare.h"

namespace tavrel::test {
namespace {

// One server with two monitored files on G: (ORDERS.DBF held open by ALICE and BOB,
// CUSTOMER.DBF by nobody) and a third monitored file that does not exist.
class Form1ScanTest : public ::testing::Test {
protected:
    Form1ScanTest() {
        QDir(site.path()).mkpath("sys/APPS");
        for (const char* name : {"sys/APPS/ORDERS.DBF", "sys/APPS/CUSTOMER.DBF"}) {
            QFile file(site.path() + "/" + name);
            file.open(QIODevice::WriteOnly);
        }
        NetWareSite s;
        s.folder = site.path();
        SiteServer fs1;
        fs1.name = "FS1";
        fs1.volumes = {{"SYS", 0, "sys"}};
        fs1.objects = {{0x11, "ALICE", 1, ""}, {0x12, "BOB", 1, ""}};
        SiteConnection alice;
        alice.number = 3;
        alice.object = 0x11;
        alice.loginTime = QDateTime(QDate(2026, 12, 8), QTime(8, 5));
        alice.address.type = 11;
        alice.address.net = {10, 1, 2, 31};
        SiteConnection bob;
        bob.number = 4;
        bob.object = 0x12;
        bob.loginTime = QDateTime(QDate(2026, 12, 7), QTime(17, 40));
        bob.address.type = 2;
        bob.address.net = {0, 0, 0xAB, 0xCD};
        bob.address.node = {0x00, 0xA0, 0xC9, 0x1E, 0x2F, 0x30};
        bob.address.socket = {0x40, 0x03};
        fs1.connections = {alice, bob};
        fs1.openFiles = {{3, "SYS:APPS\\ORDERS.DBF", 1, 8, 0x03, false},
                         {4, "SYS:APPS\\ORDERS.DBF", 2, 0, 0x01, true}};
        fs1.trustees = {{"SYS:APPS", 0x11, 0xC9}};
        s.servers = {fs1};
        SiteDrive g;
        g.letter = 'G';
        g.server = "FS1";
        g.volume = "SYS";
        s.drives = {g};
        netware = std::make_unique<EmulatedNetWare>(s);
        recording = std::make_unique<RecordingNetWare>(*netware);
        context =
            std::make_unique<AppContext>(settings, clock, prompts, platform, *recording, *netware);
        context->AppFolder = dir.path() + "/";  // the usage log of this test alone
        SaveFileEntry(settings, 1, "G:\\APPS\\ORDERS.DBF", "Orders");
        SaveFileEntry(settings, 2, "G:\\APPS\\CUSTOMER.DBF", "Customers");
        SaveFileEntry(settings, 3, "G:\\APPS\\MISSING.DBF", "Gone");
    }

    Form1& load(const QString& commandLine = QString()) {
        auto port = std::make_unique<FakeTrayPort>();
        tray = port.get();
        form = std::make_unique<Form1>(*context, commandLine, std::move(port));
        form->setYieldIntervalMs(0);
        EXPECT_TRUE(form->Form_Load());
        form->show();
        return *form;
    }
    QString handle() const { return QString::number(netware->connectionHandle("FS1")); }
    QTreeWidgetItem* root() const { return form->TreeView1->topLevelItem(0); }
    QTreeWidgetItem* file(int n) const { return root()->child(n - 1); }
    // Runs code at the scan's yield before its n-th connection-scan call.
    void atScanCall(int n, std::function<void()> action) {
        recording->intercept = [this, n, action](const QString& name,
                                                 int nth) -> std::optional<NWCCODE> {
            if (name == "NWScanConnectionsUsingFile" && nth == n - 1) {
                QTimer::singleShot(0, form.get(), action);
            }
            return std::nullopt;
        };
    }
    // A mouse click as the user makes it; sent from atScanCall, it arrives at a yield.
    static void click(QWidget* target) {
        const QPoint pos = target->rect().center();
        const QPoint global = target->mapToGlobal(pos);
        QMouseEvent press(QEvent::MouseButtonPress, pos, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }
    bool shown(const QWidget* w) const { return w->isVisibleTo(form.get()); }
    QStringList texts(const QTreeWidgetItem* node) const {
        QStringList result;
        for (int i = 0; i < node->childCount(); ++i) {
            result.append(node->child(i)->text(0));
        }
        return result;
    }

    QTemporaryDir site;
    QTemporaryDir dir;
    RecordingSettings settings{dir.path()};
    FakeClock clock;
    ScriptedPrompts prompts;
    RecordingPlatform platform;
    std::unique_ptr<EmulatedNetWare> netware;
    std::unique_ptr<RecordingNetWare> recording;
    std::unique_ptr<AppContext> context;
    FakeTrayPort* tray = nullptr;
    std::unique_ptr<Form1> form;
};

TEST_F(Form1ScanTest, AScanFillsTheTree) {
    Form1& f = load();
    f.cmdScan->click();

    ASSERT_EQ(f.TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(root()->text(0), "Tree");
    EXPECT_EQ(Form1::nodeTag(root()), "1");
    EXPECT_EQ(Form1::nodeKey(root()), "Tree");
    EXPECT_EQ(root()->icon(0).cacheKey(), f.ImageList1.icon("tree").cacheKey());
    EXPECT_EQ(texts(root()), QStringList({"G:\\APPS\\ORDERS.DBF[2]", "G:\\APPS\\CUSTOMER.DBF[0]",
                                          "G:\\APPS\\MISSING.DBF[N/A]"}));
    EXPECT_EQ(Form1::nodeTag(file(1)), "2," + handle() + ",1");
    EXPECT_EQ(Form1::nodeTag(file(2)), "2," + handle() + ",2");
    EXPECT_EQ(Form1::nodeTag(file(3)), "2,0,3");
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(file(n)->icon(0).cacheKey(), f.ImageList1.icon("file").cacheKey());
    }
    EXPECT_EQ(file(2)->childCount(), 0);
    EXPECT_EQ(file(3)->childCount(), 0);

    ASSERT_EQ(texts(file(1)), QStringList({"ALICE", "BOB"}));
    QTreeWidgetItem* alice = file(1)->child(0);
    QTreeWidgetItem* bob = file(1)->child(1);
    EXPECT_EQ(Form1::nodeTag(alice), "3,3");
    EXPECT_EQ(Form1::nodeTag(bob), "3,4");
    EXPECT_EQ(alice->icon(0).cacheKey(), f.ImageList1.icon("user").cacheKey());
    EXPECT_EQ(texts(alice),
              QStringList(
                  {"Connection No: 3", "Task No: 1", "Opened: Shareable", "File Rights: Read,Write",
                   "Directory Rights: Read,Create,FileScan,Modify", "Locked: No",
                   "Login Time: Tuesday, 12/8/26, 08:05 am", "Network Address: IP:10.1.2.31"}));
    EXPECT_EQ(texts(bob), QStringList({"Connection No: 4", "Task No: 2", "Opened: Exclusive",
                                       "File Rights: Read", "Directory Rights: NA", "Locked: Yes",
                                       "Login Time: Monday, 12/7/26, 05:40 pm",
                                       "Network Address: IPX:0000ABCD:00A0C91E2F30:4003"}));
    for (int i = 0; i < alice->childCount(); ++i) {
        EXPECT_EQ(Form1::nodeTag(alice->child(i)), "4");
        EXPECT_TRUE(alice->child(i)->icon(0).isNull());
    }
    for (QTreeWidgetItem* node : f.nodesInOrder()) {
        EXPECT_EQ(node->checkState(0), Qt::Unchecked);
    }

    EXPECT_TRUE(context->TreeScanned);
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");
    EXPECT_TRUE(shown(f.cmdScan));
    EXPECT_FALSE(shown(f.cmdStop));
    EXPECT_TRUE(shown(f.cmdExpand));
    EXPECT_EQ(f.cmdExpand->text(), "Expand All [F3]");
    EXPECT_TRUE(shown(f.cmdFind));
    EXPECT_FALSE(shown(f.cmdEditFile));
    EXPECT_TRUE(f.cmdExpand->hasFocus());
}

TEST_F(Form1ScanTest, OptionsAreTakenAtTheScansStart) {
    Form1& f = load();
    f.ckPicture->setChecked(false);
    f.ckUserDetails->setChecked(false);
    // Switched back on while the scan runs: this scan keeps what it started with.
    atScanCall(2, [&] {
        f.ckPicture->setChecked(true);
        f.ckUserDetails->setChecked(true);
    });
    f.cmdScan_Click();
    EXPECT_TRUE(root()->icon(0).isNull());
    EXPECT_TRUE(file(1)->icon(0).isNull());
    ASSERT_EQ(texts(file(1)), QStringList({"ALICE", "BOB"}));
    EXPECT_EQ(file(1)->child(0)->childCount(), 0);
    EXPECT_EQ(recording->count("NWGetInetAddr"), 0);
    EXPECT_EQ(f.PicturesOption, 1);
}

TEST_F(Form1ScanTest, AfterAScanNodesAreToldByTheirTags) {
    Form1& f = load();
    f.cmdScan->click();
    f.TreeView1->expandAll();
    QTreeWidgetItem* alice = file(1)->child(0);
    EXPECT_EQ(f.nodeLevel(root()), 1);
    EXPECT_EQ(f.nodeLevel(file(3)), 2);
    EXPECT_EQ(f.nodeLevel(alice), 3);
    EXPECT_EQ(f.nodeLevel(alice->child(0)), 4);
    EXPECT_EQ(f.nodeFileNumber(file(3)), 3);

    clickNode(f, file(2), Qt::LeftButton);
    EXPECT_EQ(context->SelectedFileNumber, 2);
    EXPECT_EQ(context->SelectedNodeTag, "2," + handle() + ",2");
    EXPECT_EQ(context->SelectedNodeText, "G:\\APPS\\CUSTOMER.DBF[0]");
    EXPECT_EQ(f.statusText(), "Customers");
    EXPECT_TRUE(shown(f.cmdEditFile));

    for (QTreeWidgetItem* node : {alice, alice->child(3)}) {
        clickNode(f, node, Qt::LeftButton);
        EXPECT_EQ(f.statusText(), "Idle");
        EXPECT_FALSE(shown(f.cmdEditFile));
        EXPECT_FALSE(shown(f.cmdDeleteFile));
    }
    EXPECT_EQ(context->SelectedNodeTag, "4");
}

TEST_F(Form1ScanTest, RightClickOffersTheItemsOfEachLevel) {
    Form1& f = load();
    f.cmdScan->click();
    f.TreeView1->expandAll();
    const auto shownItems = [&] {
        QStringList result;
        for (QAction* a : f.mnuPopup->actions()) {
            if (a->isVisible()) {
                result.append(a->text());
            }
        }
        f.mnuPopup->hide();
        return result;
    };
    clickNode(f, file(1), Qt::RightButton);
    EXPECT_TRUE(shownItems().contains("Extended File Information"));
    clickNode(f, file(3), Qt::RightButton);  // [N/A]: not there to inform about
    EXPECT_FALSE(shownItems().contains("Extended File Information"));
    clickNode(f, file(1)->child(1), Qt::RightButton);
    EXPECT_EQ(shownItems(),
              QStringList({"Select all users", "Unselect all users", "Send message to user",
                           "Send message to selected users", "Clear connection of user",
                           "Clear connection of selected users", "Unlock all locked files"}));
    EXPECT_EQ(context->SelectedNodeText, "BOB");
    EXPECT_EQ(f.statusText(), "Idle");
}

TEST_F(Form1ScanTest, TickingSelectsUsers) {
    Form1& f = load();
    f.cmdScan->click();
    const auto ticked = [&] {
        QStringList result;
        for (QTreeWidgetItem* node : f.nodesInOrder()) {
            if (node->checkState(0) == Qt::Checked) {
                result.append(node->text(0));
            }
        }
        return result;
    };
    file(1)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(ticked(), QStringList({"G:\\APPS\\ORDERS.DBF[2]", "ALICE", "BOB"}));
    file(1)->child(0)->setCheckState(0, Qt::Unchecked);  // a user: only itself
    EXPECT_EQ(ticked(), QStringList({"G:\\APPS\\ORDERS.DBF[2]", "BOB"}));
    file(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(ticked(), QStringList());

    // The last file runs to the end of the tree.
    file(3)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(ticked(), QStringList({"G:\\APPS\\MISSING.DBF[N/A]"}));

    root()->setCheckState(0, Qt::Checked);
    EXPECT_EQ(ticked(), QStringList({"Tree", "G:\\APPS\\ORDERS.DBF[2]", "ALICE", "BOB",
                                     "G:\\APPS\\CUSTOMER.DBF[0]", "G:\\APPS\\MISSING.DBF[N/A]"}));
    root()->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(ticked(), QStringList());
}

TEST_F(Form1ScanTest, SingleExpandFollowsTheSelection) {
    Form1& f = load();
    f.ckExpandItem->setChecked(true);
    f.cmdScan->click();
    f.cmdExpand->click();
    f.TreeView1->collapseAll();
    root()->setExpanded(true);
    clickNode(f, file(1), Qt::LeftButton);
    EXPECT_TRUE(file(1)->isExpanded());
    QTreeWidgetItem* alice = file(1)->child(0);
    clickNode(f, alice, Qt::LeftButton);  // a child of the node selected before
    EXPECT_TRUE(alice->isExpanded());
    EXPECT_TRUE(file(1)->isExpanded());
    clickNode(f, file(2), Qt::LeftButton);
    EXPECT_FALSE(alice->isExpanded());
    EXPECT_TRUE(file(2)->isExpanded());
}

TEST_F(Form1ScanTest, StopEndsTheScanAndAutoScan) {
    Form1& f = load();
    f.ckAutoScan->setChecked(true);
    f.ckDatabase->setChecked(true);
    // Stop pressed at the yield before the third connection scan: the first file is done.
    atScanCall(3, [&] {
        EXPECT_TRUE(shown(f.cmdStop));
        click(f.cmdStop);
    });
    f.Timer1_Timer();
    EXPECT_EQ(f.statusText(), "Scan terminated.");
    EXPECT_EQ(texts(root()), QStringList({"G:\\APPS\\ORDERS.DBF[2]"}));
    EXPECT_EQ(file(1)->childCount(), 2);
    EXPECT_FALSE(f.scanCycle().StopRequested());
    EXPECT_FALSE(f.ckAutoScan->isChecked());
    EXPECT_EQ(f.windowTitle(), "Tavrel");
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.windowIcon().cacheKey(), f.ImageList1.icon("vigil").cacheKey());
    EXPECT_TRUE(shown(f.cmdScan));
    EXPECT_FALSE(shown(f.cmdStop));
    EXPECT_FALSE(context->TreeScanned);
    EXPECT_FALSE(QFile::exists(context->AppFolder + "tavrel.mdb"));  // no log update
}

TEST_F(Form1ScanTest, AfterAStoppedFirstScanAUserIsNoFile) {
    Form1& f = load();
    atScanCall(3, [&] { click(f.cmdStop); });
    f.cmdScan_Click();
    ASSERT_FALSE(context->TreeScanned);
    f.TreeView1->expandAll();
    clickNode(f, file(1)->child(1), Qt::LeftButton);
    EXPECT_FALSE(shown(f.cmdEditFile));
    EXPECT_FALSE(shown(f.cmdDeleteFile));
    EXPECT_EQ(f.statusText(), "Idle");
    clickNode(f, file(1), Qt::LeftButton);
    EXPECT_EQ(context->SelectedFileNumber, 1);
    EXPECT_TRUE(shown(f.cmdEditFile));
}

TEST_F(Form1ScanTest, TheTimeOutEndsTheScan) {
    Form1& f = load();
    atScanCall(2, [&] { clock.advanceSeconds(121); });
    f.cmdScan_Click();
    EXPECT_EQ(f.statusText(), "Scan timed out.");
    EXPECT_TRUE(shown(f.cmdScan));
}

TEST_F(Form1ScanTest, WhileAScanRunsOnlyStopActs) {
    Form1& f = load();
    f.TreeView1->expandAll();
    atScanCall(2, [&] {
        click(f.cmdScan);
        click(f.cmdAddFile);
        click(f.ckPicture);
        click(f.ckAutoScan);
        click(f.cmdShowTreeOptions);
        click(f.TreeView1->viewport());
        f.TreeView1->setFocus();
        postKey(f, Qt::Key_Space, " ");
        f.Timer1_Timer();  // a tick
        f.cmdExpand_Click();
    });
    f.cmdScan_Click();
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");  // one scan, to its end
    EXPECT_EQ(recording->count("NWScanConnectionsUsingFile"), 4);
    EXPECT_TRUE(f.ckPicture->isChecked());
    EXPECT_FALSE(f.ckAutoScan->isChecked());
    EXPECT_EQ(f.cmdShowTreeOptions->text(), "Show Tree Options");
    EXPECT_EQ(f.cmdExpand->text(), "Expand All [F3]");
    for (QTreeWidgetItem* node : f.nodesInOrder()) {
        EXPECT_EQ(node->checkState(0), Qt::Unchecked);
    }
    // Input reaches the controls again once the scan is over.
    f.ckPicture->click();
    EXPECT_FALSE(f.ckPicture->isChecked());
}

TEST_F(Form1ScanTest, ClosingDuringAnAutoScanAsksFirstAndNoLeavesItRunning) {
    Form1& f = load();
    f.ckAutoScan->setChecked(true);
    prompts.answer(MessageAnswer::No);
    atScanCall(2, [&] { f.close(); });
    f.Timer1_Timer();
    EXPECT_EQ(prompts.messages(), QStringList{"Auto scan is active. Do you still want to exit?"});
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");  // the scan went on to its end
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_TRUE(f.ckAutoScan->isChecked());
    EXPECT_TRUE(f.Timer1->isActive());

    // Yes stops the scan and closes through the one unload path, asking only once.
    prompts.clear();
    prompts.answer(MessageAnswer::Yes);
    atScanCall(recording->count("NWScanConnectionsUsingFile") + 2, [&] { f.close(); });
    f.Timer1_Timer();
    EXPECT_EQ(f.statusText(), "Scan terminated.");
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(settings.writes.filter("Tree/").size(), 8);
    EXPECT_FALSE(tray->shown);
}

TEST_F(Form1ScanTest, ClosingWithoutTheQuestionStopsAnAutoScanAndUnloads) {
    Form1& f = load();
    f.ckAutoScan->setChecked(true);
    atScanCall(2, [&] { f.closeWithoutQuestion(); });
    f.Timer1_Timer();
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_TRUE(prompts.asked().isEmpty());
    EXPECT_EQ(settings.writes.filter("Tree/").size(), 8);
}

TEST_F(Form1ScanTest, EscDuringAScanClosesToo) {
    Form1& f = load();
    atScanCall(2, [&] { postKey(f, Qt::Key_Escape, QString(QChar(27))); });
    f.cmdScan_Click();
    EXPECT_TRUE(f.isUnloaded());
}

TEST_F(Form1ScanTest, CommandLineTStartsAutoScanAndScansAtOnce) {
    Form1& f = load("-t");
    EXPECT_TRUE(f.ckAutoScan->isChecked());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");
    EXPECT_TRUE(context->TreeScanned);
    EXPECT_FALSE(shown(f.cmdScan));  // auto scan keeps Scan hidden
    EXPECT_FALSE(QFile::exists(context->AppFolder + "tavrel.mdb"));
}

TEST_F(Form1ScanTest, CommandLineDStoresTheScanInTheUsageLog) {
    Form1& f = load("-d");
    EXPECT_TRUE(f.ckDatabase->isChecked());
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");
    ASSERT_NE(f.usageLog(), nullptr);
    EXPECT_TRUE(QFile::exists(f.usageLog()->databasePath()));
    EXPECT_TRUE(f.usageLog()->storing());
    // Switching storing off lets another program store.
    f.ckDatabase->setChecked(false);
    EXPECT_FALSE(f.usageLog()->storing());
}

TEST_F(Form1ScanTest, ALogThatCannotBeUpdatedSaysSoAfterIdle) {
    Form1& f = load();
    LogWriterLock otherWriter(f.usageLog()->databasePath());
    ASSERT_EQ(otherWriter.acquire(), "");
    f.ckAutoScan->setChecked(true);
    f.ckDatabase->setChecked(true);
    f.Timer1_Timer();
    EXPECT_TRUE(
        f.statusText().startsWith("Idle \u2014 3 files, 2 users (log not updated: scan results are "
                                  "already"))
        << f.statusText().toStdString();
    EXPECT_TRUE(context->TreeScanned);
}

TEST_F(Form1ScanTest, AScanSaysWhatItFoundAndTheFoldedRootShowsItHoldsFiles) {
    Form1& f = load();
    f.cmdScan_Click();
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");
    EXPECT_FALSE(root()->isExpanded());
    EXPECT_TRUE(f.TreeView1->rootIsDecorated());  // the root's expand mark is drawn
}

TEST_F(Form1ScanTest, AScanProblemStandsWhateverIsClickedUntilAScanCompletesWithout) {
    Form1& f = load();
    const QString reason =
        "Samba server not read: ssh: connect to host files.example.org "
        "port 22: Connection timed out (exit code 255)";
    recording->problem = reason;
    f.cmdScan_Click();
    const QString found = "Idle \u2014 3 files, 2 users (" + reason + ")";
    EXPECT_EQ(f.statusText(), found);
    EXPECT_EQ(f.sbStatus->toolTip(), found);
    // The tray's tip field holds 63 characters: the reason as far as it goes.
    EXPECT_EQ(tray->tip, ("Tavrel\n" + reason).left(63));
    // Too long for the line: cut with an ellipsis, the whole in the tool tip.
    const QString shown = f.sbStatus->currentMessage();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(f.sbStatus->fontMetrics().horizontalAdvance(shown), f.sbStatus->width());

    clickNode(f, file(1), Qt::LeftButton);
    EXPECT_EQ(f.statusText(), "Orders (" + reason + ")");
    clickNode(f, root(), Qt::LeftButton);
    EXPECT_EQ(f.statusText(), "Idle (" + reason + ")");
    // A stopped scan does not clear it.
    atScanCall(recording->count("NWScanConnectionsUsingFile") + 2, [&] { f.cmdStop_Click(); });
    f.cmdScan_Click();
    EXPECT_EQ(f.statusText(), "Scan terminated. (" + reason + ")");

    recording->problem.clear();
    recording->intercept = nullptr;
    f.cmdScan_Click();
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");
    EXPECT_EQ(f.sbStatus->toolTip(), QString());
    EXPECT_EQ(tray->tip, "Tavrel");
}

TEST_F(Form1ScanTest, KeepExpandedRestoresTheOpenNodesAndTheSelectionAfterEachScan) {
    Form1& f = load();
    const auto openOrdersAtBob = [&] {
        root()->setExpanded(true);
        file(1)->setExpanded(true);
        file(1)->child(1)->setExpanded(true);
        f.TreeView1->setCurrentItem(file(1)->child(1));
    };
    f.cmdScan_Click();
    openOrdersAtBob();
    f.cmdScan_Click();
    EXPECT_FALSE(root()->isExpanded());  // by default every scan folds the tree

    f.ckKeepExpanded->setChecked(true);
    openOrdersAtBob();
    f.cmdScan_Click();
    EXPECT_TRUE(root()->isExpanded());
    EXPECT_TRUE(file(1)->isExpanded());
    EXPECT_FALSE(file(2)->isExpanded());
    EXPECT_FALSE(file(1)->child(0)->isExpanded());
    EXPECT_TRUE(file(1)->child(1)->isExpanded());
    EXPECT_EQ(f.TreeView1->currentItem(), file(1)->child(1));
    EXPECT_EQ(file(1)->child(1)->text(0), "BOB");

    int Cancel = 0;
    f.Form_Unload(Cancel);
    EXPECT_TRUE(settings.writes.contains("Tree/KeepExpanded=1"));
}

TEST_F(Form1ScanTest, WhileAScanRunsOfTheCommandKeysOnlyF2Acts) {
    Form1& f = load();
    QApplication::setActiveWindow(&f);
    f.TreeView1->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), f.TreeView1);
    QStringList opened;
    atScanCall(2, [&] {
        // A window a key opened would hold the scan: note it and close it.
        QTimer::singleShot(0, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened.append(modal->windowTitle());
                modal->close();
            }
        });
        f.TreeView1->setFocus();
        for (Qt::Key key : {Qt::Key_F7, Qt::Key_F8, Qt::Key_F5, Qt::Key_F1, Qt::Key_F3,
                            Qt::Key_Insert, Qt::Key_F6}) {
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(f.TreeView1, &down);
        }
    });
    f.cmdScan_Click();
    EXPECT_EQ(opened, QStringList());
    EXPECT_EQ(f.statusText(), "Idle \u2014 3 files, 2 users");  // the scan ran to its end
    EXPECT_EQ(recording->count("NWScanConnectionsUsingFile"), 4);
    EXPECT_TRUE(platform.viewed.isEmpty());
    EXPECT_EQ(f.cmdExpand->text(), "Expand All [F3]");

    atScanCall(recording->count("NWScanConnectionsUsingFile") + 2, [&] {
        f.TreeView1->setFocus();
        QKeyEvent down(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
        QApplication::sendEvent(f.TreeView1, &down);
    });
    f.cmdScan_Click();
    EXPECT_EQ(f.statusText(), "Scan terminated.");
}

TEST_F(Form1ScanTest, FindDuringAScanSaysThatAScanIsRunning) {
    Form1& f = load();
    f.cmdScan_Click();
    frmFind find(f);
    find.Text1->setText("ORDERS");
    find.Command1_Click();
    EXPECT_EQ(find.Label2->text(), "Found");
    atScanCall(recording->count("NWScanConnectionsUsingFile") + 2, [&] { find.Command1_Click(); });
    f.cmdScan_Click();
    EXPECT_EQ(find.Label2->text(), "A scan is running");
}

}  // namespace
}  // namespace tavrel::test
