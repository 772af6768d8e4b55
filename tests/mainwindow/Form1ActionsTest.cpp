#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "Form1Fixture.h"
#include "mainwindow/frmFind.h"
#include "support/LogRows.h"
#include "support/TestSite.h"

namespace tavrel::test {
namespace {

// The popup menu's actions and Find over a scanned tree of two servers: G:\APPS\ORDERS.DBF
// and H:\ORDERS.DBF are the same file on FS1 (ALICE 3, BOB 4 who refuses messages, and
// the workstation's ADMIN 1); K:\ACCOUNTS\LEDGER.DAT is on FS2 (the workstation's
// SUPERVISOR 1, the same number on another server).
class Form1ActionsTest : public Form1Test {
protected:
    Form1ActionsTest() {
        touchFile(siteDir.path() + "/fs2vol1/ACCOUNTS/LEDGER.DAT");
        EXPECT_EQ(netware.setSite(makeTestSite(siteDir.path())), "");
        addFiles({"G:\\APPS\\ORDERS.DBF", "H:\\ORDERS.DBF", "K:\\ACCOUNTS\\LEDGER.DAT"});
    }
    Form1& loadScanned() {
        load();
        form->show();
        form->cmdScan_Click();
        EXPECT_TRUE(context.TreeScanned);
        form->TreeView1->expandAll();
        return *form;
    }
    QTreeWidgetItem* file(int n) const { return root()->child(n - 1); }
    QTreeWidgetItem* user(int n, const QString& name) const {
        for (int i = 0; i < file(n)->childCount(); ++i) {
            if (file(n)->child(i)->text(0) == name) {
                return file(n)->child(i);
            }
        }
        ADD_FAILURE() << "no user " << name.toStdString() << " under file " << n;
        return file(n);
    }
    // Right-clicks a node and chooses an item of the menu that opens.
    void choose(QTreeWidgetItem* node, QAction* item) {
        clickNode(node, Qt::RightButton);
        ASSERT_TRUE(form->mnuPopup->isVisible());
        ASSERT_TRUE(item->isVisible()) << item->text().toStdString();
        item->trigger();
        form->mnuPopup->hide();
    }
    void tick(QTreeWidgetItem* node) { form->TreeView1->setTicked(node, true); }
    QStringList ticked() const {
        QStringList texts;
        for (QTreeWidgetItem* node : form->nodesInOrder()) {
            if (NodeTree::ticked(node)) {
                texts.append(node->text(0));
            }
        }
        return texts;
    }
    const SiteServer& server(int s) const { return netware.site().servers.at(s); }
    QStringList messages() const {
        QStringList result;
        for (const SiteMessage& m : netware.site().messages) {
            result.append(QStringLiteral("%1/%2 %3").arg(m.server).arg(m.connection).arg(m.text));
        }
        return result;
    }
    bool locked(int s, quint16 connection, const QString& path) const {
        for (const SiteOpenFile& f : server(s).openFiles) {
            if (f.connection == connection && f.path == path) {
                return f.locked;
            }
        }
        ADD_FAILURE() << "no such open file";
        return false;
    }
    const ScriptedPrompts::Asked& lastAsked() const { return prompts.asked().last(); }

    QTemporaryDir siteDir;
};

TEST_F(Form1ActionsTest, TheSelectionItemsTickFromTheMenu) {
    Form1& f = loadScanned();
    choose(file(1), f.mnuPopupFile);
    EXPECT_EQ(ticked(), QStringList({"G:\\APPS\\ORDERS.DBF[3]", "ALICE", "BOB", "ADMIN"}));
    choose(file(1), f.mnuPopupFileNone);
    EXPECT_EQ(ticked(), QStringList());
    choose(user(3, "SUPERVISOR"), f.mnuPopupAll);
    EXPECT_EQ(ticked(), QStringList({"Tree", "G:\\APPS\\ORDERS.DBF[3]", "ALICE", "BOB", "ADMIN",
                                     "H:\\ORDERS.DBF[3]", "ALICE", "BOB", "ADMIN",
                                     "K:\\ACCOUNTS\\LEDGER.DAT[1]", "SUPERVISOR"}));
    choose(root(), f.mnuPopupNone);
    EXPECT_EQ(ticked(), QStringList());
}

TEST_F(Form1ActionsTest, SendToOneUser) {
    Form1& f = loadScanned();
    prompts.answerText("  Backup at ten  ");
    choose(user(2, "ALICE"), f.mnuPopupSend);
    EXPECT_EQ(lastAsked().input.prompt, "Enter Message to send to ALICE");
    EXPECT_EQ(lastAsked().input.title, "Send Message");
    EXPECT_EQ(f.statusText(), "Message sent to ALICE.");
    EXPECT_EQ(messages(), QStringList({"FS1/3 Backup at ten"}));

    prompts.answerText("Backup at ten");
    choose(user(1, "BOB"), f.mnuPopupSend);
    EXPECT_EQ(f.statusText(), "Message could not be sent to BOB.");

    // A blank or cancelled message sends nothing and leaves the status.
    prompts.answerText("   ");
    choose(user(3, "SUPERVISOR"), f.mnuPopupSend);
    EXPECT_EQ(f.statusText(), "Idle");
    EXPECT_EQ(messages().size(), 1);
}

TEST_F(Form1ActionsTest, ClearOneUserAfterAskingWithNoAsTheDefault) {
    Form1& f = loadScanned();
    const NetWareSite before = netware.site();
    prompts.answer(MessageAnswer::No);
    choose(user(1, "ALICE"), f.mnuPopupClear);
    const MessageBoxRequest& asked = lastAsked().message;
    EXPECT_EQ(asked.text, "Are you sure you want to clear the connection for ALICE?");
    EXPECT_EQ(asked.title, "Clear Connection Confirmation");
    EXPECT_EQ(asked.icon, MessageIcon::Question);
    EXPECT_EQ(asked.buttons, MessageButtons::YesNo);
    EXPECT_EQ(asked.defaultButton, MessageAnswer::No);
    EXPECT_EQ(netware.site(), before);
    EXPECT_EQ(f.statusText(), "Idle");

    // Connection 3 has since gone to BOB: it is not cleared under ALICE's name.
    NetWareSite reused = before;
    reused.servers[0].connections[1].object = kBob;
    ASSERT_EQ(netware.setSite(reused), "");
    prompts.answer(MessageAnswer::Yes);
    choose(user(1, "ALICE"), f.mnuPopupClear);
    EXPECT_EQ(f.statusText(), "Connection could not be cleared for ALICE.");
    EXPECT_EQ(netware.site(), reused);

    ASSERT_EQ(netware.setSite(before), "");
    prompts.answer(MessageAnswer::Yes);
    choose(user(1, "ALICE"), f.mnuPopupClear);
    EXPECT_EQ(f.statusText(), "Connection cleared for ALICE.");
    EXPECT_EQ(server(0).connections.size(), 2);
    f.cmdScan_Click();
    f.TreeView1->expandAll();
    EXPECT_EQ(file(1)->text(0), "G:\\APPS\\ORDERS.DBF[2]");
}

TEST_F(Form1ActionsTest, GroupActionsReachEachConnectionOncePerServer) {
    Form1& f = loadScanned();
    tick(user(1, "ALICE"));
    tick(user(2, "ALICE"));
    tick(user(1, "ADMIN"));
    tick(user(3, "SUPERVISOR"));
    tick(user(2, "BOB"));  // refuses messages
    prompts.answerText("Backup at ten");
    choose(file(2), f.mnuPopupSendSel);
    EXPECT_EQ(lastAsked().input.prompt, "Enter Message to send to selected users");
    EXPECT_EQ(f.statusText(), "Message sent to 3 users.");
    EXPECT_EQ(messages(),
              QStringList({"FS1/3 Backup at ten", "FS1/1 Backup at ten", "FS2/1 Backup at ten"}));

    const NetWareSite before = netware.site();
    prompts.answer(MessageAnswer::No);
    choose(root(), f.mnuPopupClearSel);
    EXPECT_EQ(lastAsked().message.text,
              "Are you sure you want to clear the connections of the selected users?");
    EXPECT_EQ(lastAsked().message.defaultButton, MessageAnswer::No);
    EXPECT_EQ(netware.site(), before);

    prompts.answer(MessageAnswer::Yes);
    choose(root(), f.mnuPopupClearSel);
    EXPECT_EQ(f.statusText(), "Connection cleared for 4 users.");
    EXPECT_EQ(server(0).connections.size(), 0);
    EXPECT_EQ(server(1).connections.size(), 1);  // BOB on FS2 was not ticked
}

TEST_F(Form1ActionsTest, GroupActionsWithNobodyTickedStillAskAndReportNone) {
    Form1& f = loadScanned();
    prompts.answerText("Backup at ten");
    choose(root(), f.mnuPopupSendSel);
    EXPECT_EQ(f.statusText(), "Message sent to 0 users.");
    prompts.answer(MessageAnswer::Yes);
    choose(root(), f.mnuPopupClearSel);
    EXPECT_EQ(f.statusText(), "Connection cleared for 0 users.");
    EXPECT_EQ(prompts.asked().size(), 2);
}

TEST_F(Form1ActionsTest, UnlockFileWithAndWithoutTheCountSuffix) {
    Form1& f = load();
    f.show();
    // Before any scan the node is the path alone.
    choose(file(1), f.mnuPopupUnlock);
    EXPECT_EQ(f.statusText(), "File lock has been cleared.");
    EXPECT_FALSE(locked(0, 4, "SYS:APPS\\ORDERS.DBF"));
    EXPECT_TRUE(locked(1, 3, "SYS:APPS\\ORDERS.DBF"));  // the same path on FS2

    NetWareSite site = netware.site();
    site.servers[0].openFiles[1].locked = true;
    ASSERT_EQ(netware.setSite(site), "");
    f.cmdScan_Click();
    choose(file(1), f.mnuPopupUnlock);
    EXPECT_EQ(file(1)->text(0), "G:\\APPS\\ORDERS.DBF[3]");
    EXPECT_EQ(f.statusText(), "File lock has been cleared.");
    EXPECT_FALSE(locked(0, 4, "SYS:APPS\\ORDERS.DBF"));
}

TEST_F(Form1ActionsTest, UnlockFileReportsEachFailure) {
    Form1& f = loadScanned();
    const std::pair<NWCCODE, const char*> codes[] = {
        {0x8801, "invalid connection."},   {0x890A, "invalid NLM connection."},
        {0x8996, "server out of memory."}, {0x8998, "volume does not exist."},
        {0x899B, "bad directory handle."}, {0x899C, "invalid path."},
        {0x89A1, "directory I/O error."},  {0x89FD, "bad station number."},
        {0x89FF, "lock error."},           {0x89A8, "unknown error."},
    };
    for (const auto& [code, text] : codes) {
        netware.clearFaults();
        ASSERT_EQ(netware.addFault({"NWClearFileLock2", code, {}, {}, {}}), "");
        choose(file(1), f.mnuPopupUnlock);
        EXPECT_EQ(f.statusText(), QStringLiteral("Unable to clear file lock - ") + text);
    }
    EXPECT_TRUE(locked(0, 4, "SYS:APPS\\ORDERS.DBF"));
    EXPECT_TRUE(prompts.messages().isEmpty());

    netware.clearFaults();
    ASSERT_EQ(netware.addFault({"NWAllocTemporaryDirectoryHandle", 0x899C, {}, {}, {}}), "");
    choose(file(1), f.mnuPopupUnlock);
    EXPECT_EQ(lastAsked().message.text, "Error! Unable to create temp directory handle.");
    EXPECT_EQ(lastAsked().message.title, "Tavrel");
    EXPECT_EQ(lastAsked().message.icon, MessageIcon::Exclamation);

    netware.clearFaults();
    ASSERT_EQ(netware.addFault({"NWParsePath", 0x899C, {}, {}, {}}), "");
    choose(file(1), f.mnuPopupUnlock);
    EXPECT_EQ(lastAsked().message.text, "Unable to parse the path for directory G:\\APPS.");
    EXPECT_EQ(lastAsked().message.title, "Error");
    EXPECT_EQ(lastAsked().message.icon, MessageIcon::Exclamation);
    EXPECT_TRUE(locked(0, 4, "SYS:APPS\\ORDERS.DBF"));
}

TEST_F(Form1ActionsTest, UnlockAllOnTheFilesServerOrEveryServer) {
    Form1& f = loadScanned();
    choose(user(1, "BOB"), f.mnuPopupUnlockAll);
    EXPECT_EQ(f.statusText(), "All file locks have been cleared.");
    EXPECT_FALSE(locked(0, 1, "DATA:X\\Y.DAT"));
    EXPECT_TRUE(locked(1, 1, "VOL1:ACCOUNTS\\LEDGER.DAT"));
    EXPECT_TRUE(locked(0, 4, "SYS:APPS\\ORDERS.DBF"));  // BOB's own lock is not ours

    const std::pair<NWCCODE, const char*> failures[] = {
        {0x8801, "Unable to clear file locks - invalid connection."},
        {0x890A, "Unable to clear file locks - invalid NLM connection."},
        {0x8996, "Unable to clear file locks - unknown error."},
    };
    for (const auto& [code, text] : failures) {
        netware.clearFaults();
        ASSERT_EQ(netware.addFault({"NWClearFileLockSet", code, {}, {}, {}}), "");
        choose(root(), f.mnuPopupUnlockAll);
        EXPECT_EQ(f.statusText(), text);
    }
    EXPECT_TRUE(locked(1, 1, "VOL1:ACCOUNTS\\LEDGER.DAT"));

    netware.clearFaults();
    choose(root(), f.mnuPopupUnlockAll);
    EXPECT_EQ(f.statusText(), "All file locks have been cleared.");
    EXPECT_FALSE(locked(1, 1, "VOL1:ACCOUNTS\\LEDGER.DAT"));
}

TEST_F(Form1ActionsTest, NoActionRunsWhileAScanYields) {
    Form1& f = loadScanned();
    tick(user(1, "ALICE"));
    clickNode(user(1, "ALICE"), Qt::RightButton);
    f.mnuPopup->hide();
    bool ranDuringScan = false;
    QTimer::singleShot(0, &f, [&] {
        ranDuringScan = f.scanCycle().running();
        for (QAction* item : f.mnuPopup->actions()) {
            item->trigger();
        }
        f.mnuPopupAll->trigger();
    });
    f.cmdScan_Click();
    EXPECT_TRUE(ranDuringScan);
    EXPECT_TRUE(prompts.asked().isEmpty());
    EXPECT_TRUE(f.statusText().startsWith("Idle \u2014 "));
    EXPECT_EQ(ticked(), QStringList());
}

TEST_F(Form1ActionsTest, ExtendedInformationOpensTheInformationWindow) {
    Form1& f = loadScanned();
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = QString::fromLatin1(modal->metaObject()->className());
            modal->close();
        }
    });
    choose(file(1), f.mnuPopupDetails);
    EXPECT_EQ(shown, "tavrel::FileInfo") << prompts.messages().join('|').toStdString();
}

// ---- Find ----

FindSettings search(FindSettings::Kind kind, const QString& target, bool partial = true,
                    bool caseSensitive = false, bool select = false) {
    return {kind, target, partial, caseSensitive, select};
}

TEST_F(Form1ActionsTest, FindThroughTheWindowThenFindNextToTheEnd) {
    Form1& f = loadScanned();
    EXPECT_FALSE(shown(f.cmdFindNext));
    QTimer::singleShot(0, &f, [&] {
        frmFind* w = f.findWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), "Find a File/User");
        EXPECT_FALSE(w->Command1->isEnabled());
        w->Text1->setText("  ");
        EXPECT_FALSE(w->Command1->isEnabled());
        w->Text1->setText("orders");
        EXPECT_TRUE(w->Command1->isEnabled());
        w->Command1->click();
        EXPECT_EQ(w->Label2->text(), "Found");
        w->Command2->click();
    });
    f.cmdFind->click();
    EXPECT_FALSE(f.findWindow()->isVisible());
    EXPECT_EQ(f.TreeView1->currentItem(), file(1));
    EXPECT_TRUE(shown(f.cmdFindNext));

    f.cmdFindNext->click();
    EXPECT_EQ(f.TreeView1->currentItem(), file(2));
    EXPECT_TRUE(shown(f.cmdFindNext));
    f.cmdFindNext->click();
    EXPECT_EQ(f.TreeView1->currentItem(), file(2));
    EXPECT_FALSE(shown(f.cmdFindNext));
    EXPECT_EQ(f.statusText(), "Idle");

    // The window keeps its choices; a search that fails says so and hides Find Next.
    EXPECT_TRUE(f.findInTree(search(FindSettings::Kind::Files, "LEDGER"), true));
    EXPECT_TRUE(shown(f.cmdFindNext));
    QTimer::singleShot(0, &f, [&] {
        frmFind* w = f.findWindow();
        EXPECT_EQ(w->Text1->text(), "orders");
        w->Option2->click();
        EXPECT_EQ(w->Label1->text(), "User to find");
        w->Command1->click();
        EXPECT_EQ(w->Label2->text(), "Not found");
        w->reject();  // Esc
    });
    f.cmdFind->click();
    EXPECT_FALSE(shown(f.cmdFindNext));
}

TEST_F(Form1ActionsTest, FindMatchesByTheRulesAndTicksWhenAsked) {
    Form1& f = loadScanned();
    using K = FindSettings::Kind;
    EXPECT_FALSE(f.findInTree(search(K::Files, "ORDERS", false), true));
    EXPECT_TRUE(f.findInTree(search(K::Files, "h:\\orders.dbf", false), true));
    EXPECT_EQ(f.TreeView1->currentItem(), file(2));
    EXPECT_FALSE(f.findInTree(search(K::Users, "alice", true, true), true));

    const FindSettings alice = search(K::Users, "alice", false, false, true);
    EXPECT_TRUE(f.findInTree(alice, true));
    EXPECT_EQ(f.TreeView1->currentItem(), user(1, "ALICE"));
    EXPECT_TRUE(f.findInTree(alice, false));
    EXPECT_EQ(f.TreeView1->currentItem(), user(2, "ALICE"));
    EXPECT_FALSE(f.findInTree(alice, false));
    EXPECT_EQ(ticked(), QStringList({"ALICE", "ALICE"}));
}

TEST_F(Form1ActionsTest, BeforeAnyScanUsersAreNotFoundAndFilesAreEveryNodeButTheRoot) {
    Form1& f = load();
    f.show();
    using K = FindSettings::Kind;
    EXPECT_FALSE(f.findInTree(search(K::Users, ""), true));
    EXPECT_FALSE(f.findInTree(search(K::Files, "Tree"), true));
    // Find Next before the window was ever opened: an empty text matches every file.
    f.TreeView1->setCurrentItem(file(1));
    f.cmdFindNext_Click();
    EXPECT_EQ(f.TreeView1->currentItem(), file(2));
}

// Notify When Free: armed from a file's popup, told once when a scan finds it free, from
// the tray icon where there is one, else on the status line with a beep.
TEST_F(Form1ActionsTest, NotifyWhenFreeTellsOnceAndDisarms) {
    loadScanned();
    choose(file(1), form->mnuPopupNotify);
    EXPECT_EQ(form->statusText(),
              "Tavrel will tell you when G:\\APPS\\ORDERS.DBF is free. Auto Scan is off: "
              "nothing is noticed until the next scan.");
    form->cmdScan_Click();  // still held
    NetWareSite site = netware.site();
    site.servers[0].openFiles.clear();
    ASSERT_EQ(netware.setSite(site), "");
    form->cmdScan_Click();
    form->cmdScan_Click();
    EXPECT_EQ(tray->messages,
              QStringList("File free: G:\\APPS\\ORDERS.DBF is free: nobody holds it any more."));
    EXPECT_EQ(platform.beeps, 0);
    form->TreeView1->expandAll();
    clickNode(file(1), Qt::RightButton);
    EXPECT_FALSE(form->mnuPopupNotify->isChecked());
    form->mnuPopup->hide();
}

TEST_F(Form1ActionsTest, TheStoredHeldLimitAlertsOnceFromTheTrayAndIsSavedAtExit) {
    settings.SaveSetting("Tavrel", "Alerts", "HeldLongerThan", "30");
    loadScanned();
    EXPECT_EQ(form->txtHeldLimit->value(), 30);
    clock.advanceSeconds(30 * 60);
    form->cmdScan_Click();
    form->cmdScan_Click();
    ASSERT_EQ(tray->messages.size(), 1);
    EXPECT_TRUE(tray->messages[0].startsWith(
        "File held too long: G:\\APPS\\ORDERS.DBF has been held by ADMIN for 30 minutes.\n"));
    form->txtHeldLimit->setValue(45);
    form->close();
    EXPECT_EQ(settings.GetSetting("Tavrel", "Alerts", "HeldLongerThan"), "45");
}

TEST_F(Form1ActionsTest, NoTrayNoticeShowsOnTheStatusLine) {
    hasTray = false;
    loadScanned();
    choose(file(1), form->mnuPopupNotify);
    NetWareSite site = netware.site();
    site.servers[0].openFiles.clear();
    ASSERT_EQ(netware.setSite(site), "");
    form->cmdScan_Click();
    EXPECT_EQ(form->statusText(), "G:\\APPS\\ORDERS.DBF is free: nobody holds it any more.");
    EXPECT_EQ(platform.beeps, 1);
}

}  // namespace
}  // namespace tavrel::test

namespace tavrel::test {
namespace {

// The window's actions in the journal of its usage log.
class Form1JournalTest : public Form1ActionsTest {
protected:
    Form1& loadWithLog() {
        Form1& f = loadScanned();
        context.AppFolder = dir.path() + "/";
        return f;
    }
    QStringList journal() const {
        LogDb db;
        if (!db.open(context.AppFolder + "tavrel.mdb")) {
            return {db.lastError().description};
        }
        return rowsText(
            db.exec("SELECT Program, Action, Server, File, \"user\", Connection, "
                    "Message, Outcome, Reason FROM Actions ORDER BY rowid"));
    }
};

TEST_F(Form1JournalTest, EveryActionLeavesARowPerTargetWithItsOutcome) {
    Form1& f = loadWithLog();
    prompts.answerText("Backup at ten");
    choose(user(2, "ALICE"), f.mnuPopupSend);
    prompts.answerText("Backup at ten");
    choose(user(1, "BOB"), f.mnuPopupSend);  // refuses messages

    tick(user(1, "ADMIN"));
    tick(user(3, "SUPERVISOR"));
    prompts.answerText("Closing now");
    choose(root(), f.mnuPopupSendSel);

    // Connection 3 has since gone to BOB: the clear fails, and says so.
    NetWareSite reused = netware.site();
    reused.servers[0].connections[1].object = kBob;
    ASSERT_EQ(netware.setSite(reused), "");
    prompts.answer(MessageAnswer::Yes);
    choose(user(1, "ALICE"), f.mnuPopupClear);
    EXPECT_EQ(f.statusText(), "Connection could not be cleared for ALICE.");
    prompts.answer(MessageAnswer::Yes);
    choose(root(), f.mnuPopupClearSel);

    choose(file(1), f.mnuPopupUnlock);
    ASSERT_EQ(netware.addFault({"NWClearFileLockSet", 0x8801, {}, {}, {}}), "");
    choose(root(), f.mnuPopupUnlockAll);
    netware.clearFaults();

    f.TreeView1->setCurrentItem(file(3));
    prompts.answer(MessageAnswer::Yes);
    f.cmdDeleteFile_Click();

    EXPECT_EQ(journal(),
              QStringList({
                  "tavrel | message | FS1 | H:\\ORDERS.DBF | ALICE | 3 | Backup at ten | done | "
                  "Null",
                  "tavrel | message | FS1 | G:\\APPS\\ORDERS.DBF | BOB | 4 | Backup at ten | "
                  "failed | Message could not be sent to BOB.",
                  "tavrel | message | FS1 | G:\\APPS\\ORDERS.DBF | ADMIN | 1 | Closing now | done "
                  "| Null",
                  "tavrel | message | FS2 | K:\\ACCOUNTS\\LEDGER.DAT | SUPERVISOR | 1 | Closing "
                  "now | done | Null",
                  "tavrel | clear | FS1 | G:\\APPS\\ORDERS.DBF | ALICE | 3 | Null | failed | "
                  "Connection could not be cleared for ALICE.",
                  "tavrel | clear | FS1 | G:\\APPS\\ORDERS.DBF | ADMIN | 1 | Null | done | Null",
                  "tavrel | clear | FS2 | K:\\ACCOUNTS\\LEDGER.DAT | SUPERVISOR | 1 | Null | done "
                  "| Null",
                  "tavrel | unlock | FS1 | G:\\APPS\\ORDERS.DBF | Null | Null | Null | done | "
                  "Null",
                  "tavrel | unlock all | Null | Null | Null | Null | Null | failed | Unable to "
                  "clear file locks - invalid connection.",
                  "tavrel | delete file | FS2 | K:\\ACCOUNTS\\LEDGER.DAT | Null | Null | Desc 3 | "
                  "done | Null",
              }));
}

TEST_F(Form1JournalTest, AJournalThatCannotBeWrittenIsToldAndTheActionStands) {
    Form1& f = loadWithLog();
    QFile notALog(context.AppFolder + "tavrel.mdb");
    ASSERT_TRUE(notALog.open(QIODevice::WriteOnly));
    notALog.write(QByteArray(4096, 'x'));
    notALog.close();
    prompts.answerText("Backup at ten");
    choose(user(2, "ALICE"), f.mnuPopupSend);
    EXPECT_EQ(messages(), QStringList({"FS1/3 Backup at ten"}));
    EXPECT_EQ(f.statusText(), "Message sent to ALICE. (not journaled)");
    EXPECT_EQ(lastAsked().message.text, "The action was not journaled: file is not a database");
    EXPECT_EQ(lastAsked().message.icon, MessageIcon::Exclamation);
}

}  // namespace
}  // namespace tavrel::test
