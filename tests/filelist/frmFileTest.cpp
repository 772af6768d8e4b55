#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include "common/AppContext.h"
#include "common/IniSettingsStore.h"
#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileListStore.h"
#include "filelist/frmFile.h"
#include "support/FakeClock.h"
#include "support/LogRows.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TestSite.h"

namespace tavrel::test {
namespace {

const QString kLongName = QString(60, 'L') + ".DAT";

// The editor on the test site: G: is a network drive (FS1\SYS:) whose APPS folder holds
// orders.dbf and CUSTOMER.DBF, D: a fixed drive.
class frmFileTest : public ::testing::Test {
protected:
    frmFileTest() {
        touchFile(root.path() + "/local/LOCAL.TXT");
        netware = std::make_unique<EmulatedNetWare>(makeTestSite(root.path()));
        context =
            std::make_unique<AppContext>(settings, clock, prompts, platform, *netware, *netware);
        context->AppFolder = dir.path() + "/";  // the journal's log
        context->LastFileFolder = "G:\\APPS";
        context->InfoCallerForm = "Form1";
    }
    frmFile& open(bool editMode, qint16 number = 0) {
        context->EditMode = editMode;
        context->SelectedFileNumber = number;
        dialog = std::make_unique<frmFile>(*context);
        dialog->Form_Load();
        return *dialog;
    }
    QString raw(const QString& key) { return settings.GetSetting("Tavrel", "File", key, "<none>"); }
    bool saveShown() const { return !dialog->Command6->isHidden(); }

    QTemporaryDir root;
    QTemporaryDir dir;
    IniSettingsStore settings{dir.path()};
    FakeClock clock;
    ScriptedPrompts prompts;
    RecordingPlatform platform;
    std::unique_ptr<EmulatedNetWare> netware;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<frmFile> dialog;
};

TEST_F(frmFileTest, AddsTwoFilesFromOneDialog) {
    frmFile& f = open(false);
    EXPECT_EQ(f.windowTitle(), "Add File");
    EXPECT_EQ(context->InfoCallerForm, "frmFile");
    EXPECT_EQ(f.dirPath(), "G:\\APPS");
    EXPECT_EQ(f.Drive1->currentText(), "g: [\\\\FS1\\SYS]");
    EXPECT_EQ(context->SelectedFileNumber, 1);
    EXPECT_EQ(f.Combo2->currentText(), "*.*");
    EXPECT_EQ(f.Label2->text(), "2 files");
    EXPECT_FALSE(saveShown());

    ASSERT_TRUE(f.pickFile("CUSTOMER.DBF"));
    EXPECT_EQ(f.Text1->text(), "CUSTOMER.DBF");
    EXPECT_FALSE(f.Command18->isHidden());
    EXPECT_TRUE(saveShown());
    f.Text1->setText("  Customers  ");
    f.Command6->click();
    EXPECT_EQ(raw("File_1"), "G:\\APPS\\CUSTOMER.DBF");
    EXPECT_EQ(raw("Desc_1"), "Customers");
    EXPECT_FALSE(saveShown());
    EXPECT_TRUE(context->FileListChanged);

    ASSERT_TRUE(f.pickFile("orders.dbf"));
    f.Command6->click();
    EXPECT_EQ(raw("File_2"), "G:\\APPS\\orders.dbf");
    EXPECT_EQ(raw("Desc_2"), "orders.dbf");
    EXPECT_EQ(context->SelectedFileNumber, 3);
    EXPECT_TRUE(prompts.messages().isEmpty());

    f.Command1->click();  // nothing unsaved: no question
    EXPECT_TRUE(prompts.asked().isEmpty());
    EXPECT_EQ(context->InfoCallerForm, "Form1");
}

TEST_F(frmFileTest, EditsAnEntryAndRefusesAnotherEntrysPathInOtherCase) {
    SaveFileEntry(settings, 1, "G:\\APPS\\ORDERS.DBF", "Orders");
    SaveFileEntry(settings, 2, "K:\\LEDGER.DAT", "Ledger");
    SaveFileEntry(settings, 3, "G:\\APPS\\CUSTOMER.DBF", "Customers");
    frmFile& f = open(true, 3);
    EXPECT_EQ(f.windowTitle(), "Edit File");
    EXPECT_EQ(f.pickedFile(), "CUSTOMER.DBF");
    EXPECT_EQ(f.Text1->text(), "Customers");
    EXPECT_FALSE(saveShown());

    f.Text1->setText("Customer master");
    ASSERT_TRUE(saveShown());
    f.Command6->click();
    EXPECT_EQ(raw("File_3"), "G:\\APPS\\CUSTOMER.DBF");
    EXPECT_EQ(raw("Desc_3"), "Customer master");

    ASSERT_TRUE(f.pickFile("orders.dbf"));  // entry 1's path, in other letter case
    f.Command6->click();
    EXPECT_EQ(prompts.messages(), QStringList({"Unable to save. This item already exists."}));
    EXPECT_EQ(prompts.asked()[0].message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(raw("File_3"), "G:\\APPS\\CUSTOMER.DBF");
    EXPECT_EQ(raw("Desc_3"), "Customer master");

    // Both edits are in the journal, the refused one as failed with its reason.
    LogDb db;
    ASSERT_TRUE(db.open(context->AppFolder + "tavrel.mdb"));
    EXPECT_EQ(rowsText(db.exec("SELECT Program, Action, Server, File, Message, Outcome, Reason "
                               "FROM Actions ORDER BY rowid"))
                  .join("\n")
                  .toStdString(),
              QStringList({"tavrel | edit file | FS1 | G:\\APPS\\CUSTOMER.DBF | Customer master "
                           "| done | Null",
                           "tavrel | edit file | FS1 | G:\\APPS\\orders.dbf | orders.dbf | "
                           "failed | Unable to save. This item already exists."})
                  .join("\n")
                  .toStdString());
}

TEST_F(frmFileTest, BlankAndLongDescriptions) {
    touchFile(root.path() + "/fs1sys/APPS/" + kLongName);
    frmFile& f = open(false);
    ASSERT_TRUE(f.pickFile(kLongName));
    EXPECT_EQ(f.Text1->text(), kLongName.left(55));
    f.Text1->setText("   ");
    EXPECT_FALSE(saveShown());
    f.Text1->setText(QString(70, 'x'));
    EXPECT_EQ(f.Text1->text().size(), 55);
    // A tilde cannot be typed.
    f.Text1->setText("a");
    f.Text1->setCursorPosition(1);
    QKeyEvent tilde(QEvent::KeyPress, Qt::Key_AsciiTilde, Qt::ShiftModifier, "~");
    QApplication::sendEvent(f.Text1, &tilde);
    EXPECT_EQ(f.Text1->text(), "a");
}

TEST_F(frmFileTest, FileCountsAndSizes) {
    QDir().mkpath(root.path() + "/fs1sys/MANY");
    for (int i = 0; i < 1000; ++i) {
        touchFile(root.path() + QStringLiteral("/fs1sys/MANY/F%1.DAT").arg(i));
    }
    QFile big(root.path() + "/fs1sys/MANY/F7.DAT");
    ASSERT_TRUE(big.resize(1234567));
    frmFile& f = open(false);
    ASSERT_TRUE(f.setDirPath("G:\\APPS\\SUB"));
    EXPECT_EQ(f.Label2->text(), "");
    EXPECT_TRUE(f.List3->toolTip().isEmpty());
    ASSERT_TRUE(f.setDirPath("G:\\MANY"));
    EXPECT_EQ(f.Label2->text(), "1000 files");
    EXPECT_EQ(f.List3->toolTip(), " Select file ");
    f.Combo2->setEditText("F7.*");
    EXPECT_EQ(f.Label2->text(), "1 file");
    ASSERT_TRUE(f.pickFile("F7.DAT"));
    EXPECT_TRUE(f.Label2->text().endsWith("M  1,234,567")) << f.Label2->text().toStdString();
    f.Command3->click();
    EXPECT_EQ(f.Combo2->currentText(), "*.*");
    EXPECT_EQ(f.Label2->text(), "1000 files");
}

TEST_F(frmFileTest, ATypedPatternIsKeptOnce) {
    frmFile& f = open(false);
    f.Combo2->setEditText("*.dbf");
    f.Combo2_LostFocus();
    f.Combo2->setEditText("*.DBF");
    f.Combo2_LostFocus();
    EXPECT_EQ(f.patterns(), QStringList({"*.*", "*.dbf"}));
    EXPECT_EQ(f.Combo2->count(), 2);
}

TEST_F(frmFileTest, AMissingStoredPathFallsBackToTheLastFolder) {
    SaveFileEntry(settings, 1, "Q:\\GONE\\OLD.DBF", "Old");
    frmFile& f = open(true, 1);
    EXPECT_EQ(prompts.messages(), QStringList({"File Q:\\GONE\\OLD.DBF does not exist."}));
    EXPECT_EQ(f.dirPath(), "G:\\APPS");
    EXPECT_EQ(f.pickedFile(), "");
    EXPECT_EQ(f.Text1->text(), "Old");
    EXPECT_FALSE(saveShown());
    // Picked anew, the file replaces the old path.
    ASSERT_TRUE(f.pickFile("CUSTOMER.DBF"));
    f.Command6->click();
    EXPECT_EQ(raw("File_1"), "G:\\APPS\\CUSTOMER.DBF");
}

TEST_F(frmFileTest, AFileOnAFixedDriveIsRefused) {
    frmFile& f = open(false);
    ASSERT_TRUE(f.selectDrive('D'));
    EXPECT_EQ(f.dirPath(), "D:\\");
    ASSERT_TRUE(f.pickFile("LOCAL.TXT"));
    EXPECT_EQ(prompts.messages(), QStringList({"Invalid file! File must reside on file server."}));
    EXPECT_TRUE(f.Command18->isHidden());
    EXPECT_FALSE(saveShown());
    f.Text1->setText("Local");
    EXPECT_FALSE(saveShown());
}

TEST_F(frmFileTest, ClosingByEscAsksToSaveAndKeepsTheFolder) {
    frmFile& f = open(false);
    ASSERT_TRUE(f.pickFile("CUSTOMER.DBF"));
    ASSERT_TRUE(f.setDirPath("G:\\APPS\\SUB"));
    ASSERT_TRUE(f.setDirPath("G:\\APPS"));
    ASSERT_TRUE(f.pickFile("CUSTOMER.DBF"));
    prompts.answer(MessageAnswer::Yes);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&f, &esc);
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked()[0].message.text, "Do you want to save your changes?");
    EXPECT_EQ(prompts.asked()[0].message.icon, MessageIcon::Question);
    EXPECT_EQ(prompts.asked()[0].message.buttons, MessageButtons::YesNo);
    EXPECT_EQ(raw("File_1"), "G:\\APPS\\CUSTOMER.DBF");
    EXPECT_EQ(context->InfoCallerForm, "Form1");
    EXPECT_EQ(context->LastFileFolder, "G:\\APPS");
    f.close();  // the unload steps run once
    EXPECT_EQ(prompts.asked().size(), 1);
}

TEST_F(frmFileTest, ClosingBoxWithNoDiscardsAndRemembersTheFolder) {
    frmFile& f = open(false);
    ASSERT_TRUE(f.setDirPath("G:\\APPS\\SUB\\DEEP"));
    ASSERT_TRUE(f.setDirPath("G:\\APPS"));
    ASSERT_TRUE(f.pickFile("orders.dbf"));
    ASSERT_TRUE(f.setDirPath("G:\\APPS\\SUB"));
    EXPECT_FALSE(saveShown());  // a refill hides it
    ASSERT_TRUE(f.setDirPath("G:\\APPS"));
    ASSERT_TRUE(f.pickFile("orders.dbf"));
    prompts.answer(MessageAnswer::No);
    f.close();
    EXPECT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(raw("File_1"), "<none>");
    EXPECT_FALSE(context->FileListChanged);
}

TEST_F(frmFileTest, AnEditAfterTheListChangedUnderneathWritesNothing) {
    SaveFileEntry(settings, 1, "G:\\APPS\\ORDERS.DBF", "Orders");
    SaveFileEntry(settings, 2, "G:\\APPS\\CUSTOMER.DBF", "Customers");
    SaveFileEntry(settings, 3, "K:\\LEDGER.DAT", "Ledger");
    frmFile& f = open(true, 2);
    ASSERT_EQ(f.pickedFile(), "CUSTOMER.DBF");
    DeleteFileEntry(settings, 1);  // as tavrelctl files delete 1 would, meanwhile
    f.Text1->setText("Changed");
    f.Command6->click();
    EXPECT_EQ(prompts.messages(),
              QStringList({"Unable to save. The file list was changed by another program."}));
    EXPECT_EQ(raw("File_1"), "G:\\APPS\\CUSTOMER.DBF");
    EXPECT_EQ(raw("Desc_1"), "Customers");
    EXPECT_EQ(raw("File_2"), "K:\\LEDGER.DAT");
    EXPECT_EQ(raw("Desc_2"), "Ledger");
    EXPECT_TRUE(context->FileListChanged);  // the main window rescans
}

}  // namespace
}  // namespace tavrel::test
