#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "common/AppContext.h"
#include "external/logdb/LogDb.h"
#include "external/netware/EmulatedNetWare.h"
#include "logquery/ResultGrid.h"
#include "logquery/StayTimeline.h"
#include "logquery/frmDetails.h"
#include "monitor/ActionJournal.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"
#include "support/PostgresServer.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

// The window over a log of three days; "now" is 1 December 2003, 2:30 pm.
class frmDetailsTest : public ::testing::Test {
protected:
    void SetUp() override {
        context.AppFolder = m_dir.path() + QLatin1Char('/');
        LogDb db;
        ASSERT_TRUE(db.create(context.AppFolder + "tavrel.mdb"));
        const char* rows[][4] = {
            {"2003-12-01", "MJONES", "09:00 am,01:00 pm,", "09:45 am,"},
            {"2003-12-01", "ALICE", "08:00 am,", "08:20 am,"},
            {"2003-01-12", "BWAYNE", "10:00 am,", "10:30 am,"},
        };
        for (const auto& row : rows) {
            db.exec(
                "INSERT INTO Log (Date, File, User, In_Times, Out_Times, Mins, Opens, "
                "Opened) VALUES (?, 'G:\\APPS\\ORDERS.DBF', ?, ?, ?, 30, 1, 0)",
                {row[0], row[1], row[2], row[3]});
        }
    }
    frmDetails& open() {
        form = std::make_unique<frmDetails>(context);
        form->Form_Load();
        return *form;
    }
    QString gridUser(int row) const {
        return form->DataGrid1->model()->index(row, 1).data().toString();
    }
    QStringList listRows() const {
        QStringList rows;
        for (int i = 0; i < form->lvwDetails->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = form->lvwDetails->topLevelItem(i);
            rows.append(item->text(0) + "|" + item->text(1) + "|" + item->text(2));
        }
        return rows;
    }
    void fetch(const QString& date) {
        form->Text1->setText(date);
        form->cmdGo->click();
    }

    QTemporaryDir m_dir;
    test::MemorySettingsStore settings;
    test::FakeClock clock{QDateTime(QDate(2003, 12, 1), QTime(14, 30))};
    test::ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    EmulatedNetWare netware{NetWareSite{}};
    AppContext context{settings, clock, prompts, platform, netware, netware};
    std::unique_ptr<frmDetails> form;
};

TEST_F(frmDetailsTest, OpensOnTodayWithTheFirstRowsStaysAndItsTimeline) {
    open();
    EXPECT_EQ(form->windowTitle(), "Log Table Details");
    EXPECT_EQ(form->Text1->text(), "12/01/2003");
    EXPECT_EQ(form->statusText(), "Data retrieved");
    EXPECT_EQ(form->adodcCaption(), "2 records");
    EXPECT_FALSE(form->Command7->isHidden());
    EXPECT_EQ(gridUser(0), "ALICE");
    EXPECT_EQ(listRows(), QStringList({"08:00 am|08:20 am|00:20", "Total||00:20"}));

    // Another row: its own stays, and the record position.
    form->DataGrid1->setCurrentIndex(form->DataGrid1->model()->index(1, 0));
    EXPECT_EQ(form->adodcCaption(), "Record 2 of 2");
    EXPECT_EQ(listRows(),
              QStringList({"09:00 am|09:45 am|00:45", "01:00 pm|N/A     |01:30", "Total||02:15"}));
    EXPECT_EQ(form->Timeline1->spans().size(), 2);
    // Hovering the open stay at about 2 pm names it; the early morning has no bar.
    const StayTimeline& timeline = *form->Timeline1;
    const int middle = timeline.height() / 3;
    EXPECT_EQ(timeline.tipAt({timeline.width() * 14 / 24, middle}),
              "In: 01:00 pm\nOut: N/A\nHrs/Mins: 01:30");
    EXPECT_EQ(timeline.tipAt({timeline.width() * 4 / 24, middle}), "");

    form->Command7->click();
    EXPECT_TRUE(
        platform.clipboard.startsWith("File Usage Summary          12/01/2003 02:30 pm\r\n"));
    EXPECT_TRUE(platform.clipboard.contains("User: MJONES\r\n"));
    EXPECT_EQ(form->statusText(),
              QString::number(platform.clipboard.size()) + " characters copied to Clipboard.");
}

TEST_F(frmDetailsTest, HeadingSortsTheDayAndTheListFollowsTheFirstRow) {
    open();
    form->DataGrid1_HeadClick(1);  // User, ascending
    form->DataGrid1_HeadClick(1);  // and descending
    EXPECT_EQ(form->Label2->text(), "Sorted by 'User' in descending order");
    EXPECT_EQ(gridUser(0), "MJONES");
    EXPECT_EQ(listRows().value(0), "09:00 am|09:45 am|00:45");
}

// The settings name a shared log: the day, its stays and a sort come from it.
TEST_F(frmDetailsTest, WorksOnASharedLog) {
    TAVREL_REQUIRE_POSTGRES();
    const QString uri = test::PostgresServer::shared().newDatabase();
    LogDb db;
    ASSERT_TRUE(db.create(uri));
    for (const char* user : {"MJONES", "ALICE"}) {
        ASSERT_TRUE(db.exec("INSERT INTO Log (Date, File, \"user\", In_Times, Out_Times, Mins, "
                            "Opens, Opened, Station) VALUES ('2003-12-01', 'G:\\APPS\\ORDERS.DBF', "
                            "?, '09:00 am,', '09:45 am,', 45, 1, 0, 'DESK1')",
                            {user})
                        .ok());
    }
    ASSERT_TRUE(settings.SaveSetting("Tavrel", "Log", "Location", uri));
    open();
    EXPECT_EQ(form->statusText(), "Data retrieved");
    EXPECT_EQ(form->adodcCaption(), "2 records");
    form->DataGrid1_HeadClick(1);
    form->DataGrid1_HeadClick(1);
    EXPECT_EQ(form->Label2->text(), "Sorted by 'User' in descending order");
    EXPECT_EQ(gridUser(0), "MJONES");
    EXPECT_EQ(form->DataGrid1->model()->index(0, 4).data().toString(), "45");
    EXPECT_EQ(listRows(), QStringList({"09:00 am|09:45 am|00:45", "Total||00:45"}));
}

// A day query that never ends (the log made an endless view) runs beside the window
// until Esc stops it; the window stays open and can fetch again.
TEST_F(frmDetailsTest, EscStopsADayQueryThatNeverEnds) {
    open();
    form->show();
    LogDb db;
    ASSERT_TRUE(db.open(context.AppFolder + "tavrel.mdb"));
    ASSERT_TRUE(db.exec("ALTER TABLE Log RENAME TO Kept").ok());
    ASSERT_TRUE(db.exec("CREATE VIEW Log AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                        "SELECT i + 1 FROM n) SELECT Kept.* FROM Kept, n")
                    .ok());
    bool heldWhileRunning = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, form.get(), [&] {
        tick.stop();
        heldWhileRunning =
            !form->cmdGo->isEnabled() && !form->Command4->isEnabled() && form->grid->running();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(form->Text1, &key);
    });
    int runs = 0;  // only the endless one is stopped
    QObject::connect(form->grid, &ResultGrid::runningChanged, &tick, [&](bool running) {
        if (running && runs++ == 0) {
            tick.start(1);
        }
    });
    fetch("12/1/2003");
    EXPECT_TRUE(heldWhileRunning);
    EXPECT_EQ(form->statusText(), "The statement was stopped.");
    EXPECT_TRUE(form->isVisible() && form->cmdGo->isEnabled());
    EXPECT_EQ(form->recordCount(), 0);
    ASSERT_TRUE(db.exec("DROP VIEW Log").ok());
    ASSERT_TRUE(db.exec("ALTER TABLE Kept RENAME TO Log").ok());
    fetch("12/1/2003");
    EXPECT_EQ(form->recordCount(), 2);
}

// Notes whether a details window's day query starts while the window is on screen.
class QueryStartWatch : public QObject {
public:
    bool startedShown = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<frmDetails*>(watched);
        if (window != nullptr && event->type() == QEvent::Show) {
            QObject::connect(window->grid, &ResultGrid::runningChanged, this, [this, window] {
                startedShown = startedShown || window->isVisible();
            });
        }
        return false;
    }
};

// The window opened from the main window is shown before its first day query runs, so
// that query too can be seen running and stopped.
TEST_F(frmDetailsTest, TheFirstDayQueryRunsInTheShownWindow) {
    QueryStartWatch watch;
    qApp->installEventFilter(&watch);
    QTimer close;
    QObject::connect(&close, &QTimer::timeout, [] {
        if (QWidget* window = QApplication::activeModalWidget()) {
            window->close();
        }
    });
    close.start(10);
    frmDetails::showModal(context, nullptr);
    qApp->removeEventFilter(&watch);
    EXPECT_TRUE(watch.startedShown);
}

TEST_F(frmDetailsTest, DateBoxFiltersOnlyPrintableCharacters) {
    open();
    form->show();
    QApplication::setActiveWindow(form.get());
    form->Text1->setFocus();
    form->Text1->clear();
    const auto press = [this](Qt::Key key, const char* text) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(form->Text1, &event);
    };
    const std::pair<Qt::Key, const char*> keys[] = {
        {Qt::Key_1, "1"},
        {Qt::Key_A, "a"},
        {Qt::Key_2, "2"},
        {Qt::Key_Minus, "-"},
        {Qt::Key_Period, "."},
        {Qt::Key_Slash, "/"},
        {Qt::Key_Space, " "},
        {Qt::Key_Backspace, "\b"},
        {Qt::Key_3, "3"},
        // Moving keys and Delete, which carries a character, edit as in any text box.
        {Qt::Key_Home, ""},
        {Qt::Key_Delete, "\x7f"},
        {Qt::Key_End, ""},
        {Qt::Key_Left, ""},
        {Qt::Key_Delete, "\x7f"},
    };
    for (const auto& [key, text] : keys) {
        press(key, text);
    }
    EXPECT_EQ(form->Text1->text(), "2-.");
    EXPECT_EQ(form->Text1->maxLength(), 10);
    // Return is no typed character either: it reaches the window, which fetches nothing.
    press(Qt::Key_Return, "\r");
    EXPECT_EQ(form->Text1->text(), "2-.");
    EXPECT_EQ(form->statusText(), "Data retrieved");
    // Tab leaves the box.
    press(Qt::Key_Tab, "\t");
    EXPECT_NE(QApplication::focusWidget(), form->Text1);
    EXPECT_EQ(form->Text1->text(), "2-.");
}

TEST_F(frmDetailsTest, ReadsTheDateMonthFirstWhenItCan) {
    open();
    fetch("1.12.2003");  // 12 January
    EXPECT_EQ(form->statusText(), "Data retrieved");
    ASSERT_EQ(form->recordCount(), 1);
    EXPECT_EQ(gridUser(0), "BWAYNE");
    fetch("12-01-2003");  // 1 December
    EXPECT_EQ(form->recordCount(), 2);
    EXPECT_EQ(gridUser(1), "MJONES");

    fetch("12/1/03");  // a two-digit year, as #12/1/03# in the query window
    EXPECT_EQ(form->recordCount(), 2);
    EXPECT_EQ(form->statusText(), "Data retrieved");

    fetch("31/31/2003");
    EXPECT_EQ(form->statusText(), "Invalid date");
    EXPECT_EQ(form->recordCount(), 2);  // nothing fetched
}

TEST_F(frmDetailsTest, AnEmptyDayHidesTheClipboardButton) {
    open();
    fetch("12/02/2003");
    EXPECT_EQ(form->statusText(), "No data found");
    EXPECT_EQ(form->adodcCaption(), "0 records");
    EXPECT_TRUE(form->Command7->isHidden());
    EXPECT_EQ(form->lvwDetails->topLevelItemCount(), 0);
    EXPECT_TRUE(form->Timeline1->spans().isEmpty());
}

// The day's operator actions are listed below its stays, the day's only.
TEST_F(frmDetailsTest, ListsTheDaysActionsFromTheJournal) {
    ActionJournal journal(settings, context.AppFolder, clock, journal::kWindow);
    JournalEntry clear;
    clear.action = journal::kClear;
    clear.server = "FS1";
    clear.file = "G:\\APPS\\ORDERS.DBF";
    clear.user = "MJONES";
    clear.connection = 4;
    clear.reason = "Connection could not be cleared for MJONES.";
    clock.set(QDateTime(QDate(2003, 12, 1), QTime(9, 50)));
    ASSERT_EQ(journal.record(clear), QString());
    clock.set(QDateTime(QDate(2003, 12, 2), QTime(8, 0)));
    ASSERT_EQ(journal.record(clear), QString());
    clock.set(QDateTime(QDate(2003, 12, 1), QTime(14, 30)));
    open();
    ASSERT_EQ(form->lvwActions->topLevelItemCount(), 1);
    const QTreeWidgetItem* row = form->lvwActions->topLevelItem(0);
    QStringList texts;
    for (int c = 0; c < row->columnCount(); ++c) {
        texts.append(row->text(c));
    }
    EXPECT_EQ(texts, QStringList({"09:50:00", ActionJournal::operatingSystemUser(), "tavrel",
                                  "clear", "MJONES (FS1, connection 4)", "G:\\APPS\\ORDERS.DBF", "",
                                  "failed: Connection could not be cleared for MJONES."}));
    form->Text1->setText("12/03/2003");
    form->cmdGo_Click();
    EXPECT_EQ(form->lvwActions->topLevelItemCount(), 0);
}

}  // namespace
}  // namespace tavrel
