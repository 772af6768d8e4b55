#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "Form1Fixture.h"
#include "filelist/frmFile.h"
#include "support/RecordingNetWare.h"
#include "support/TestSite.h"

namespace tavrel::test {
namespace {

const QString kOrders = QStringLiteral("G:\\APPS\\ORDERS.DBF");
const QString kCustomers = QStringLiteral("G:\\APPS\\CUSTOMER.DBF");
const QString kLedger = QStringLiteral("K:\\ACCOUNTS\\LEDGER.DAT");

// Adding, editing and deleting monitored files from the main window, on the test site.
class Form1FileTest : public ::testing::Test {
protected:
    Form1FileTest() {
        touchFile(root.path() + "/fs2vol1/ACCOUNTS/LEDGER.DAT");
        netware = std::make_unique<EmulatedNetWare>(makeTestSite(root.path()));
        recording = std::make_unique<RecordingNetWare>(*netware);
        context =
            std::make_unique<AppContext>(settings, clock, prompts, platform, *recording, *netware);
    }
    Form1& load(const QStringList& paths) {
        for (int i = 0; i < paths.size(); ++i) {
            SaveFileEntry(settings, i + 1, paths[i], QStringLiteral("Desc %1").arg(i + 1));
        }
        form = std::make_unique<Form1>(*context, QString(), std::make_unique<FakeTrayPort>());
        form->setYieldIntervalMs(0);
        EXPECT_TRUE(form->Form_Load());
        context->LastFileFolder = "G:\\APPS";
        form->show();
        settings.writes.clear();
        return *form;
    }
    // Acts on the file editor once it is open; a dialog nobody expected is closed.
    void whenEditorOpens(std::function<void(frmFile&)> action) {
        QTimer::singleShot(0, [action] {
            auto* editor = qobject_cast<frmFile*>(QApplication::activeModalWidget());
            ASSERT_NE(editor, nullptr);
            action(*editor);
            editor->Command1->click();
        });
    }
    QTreeWidgetItem* fileNode(int n) const {
        return form->TreeView1->topLevelItem(0)->child(n - 1);
    }
    QStringList fileTexts() const {
        QStringList texts;
        const QTreeWidgetItem* top = form->TreeView1->topLevelItem(0);
        for (int i = 0; top != nullptr && i < top->childCount(); ++i) {
            texts.append(top->child(i)->text(0));
        }
        return texts;
    }
    QStringList paths() {
        QStringList result;
        for (const FileListEntry& e : LoadFileList(settings)) {
            result.append(e.path);
        }
        return result;
    }
    bool shown(const QWidget* w) const { return w->isVisibleTo(form.get()); }

    QTemporaryDir root;
    QTemporaryDir dir;
    RecordingSettings settings{dir.path()};
    FakeClock clock;
    ScriptedPrompts prompts;
    RecordingPlatform platform;
    std::unique_ptr<EmulatedNetWare> netware;
    std::unique_ptr<RecordingNetWare> recording;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<Form1> form;
};

TEST_F(Form1FileTest, AddingFromTheWindowRescansOnceTheEditorCloses) {
    Form1& f = load({});
    whenEditorOpens([](frmFile& editor) {
        ASSERT_TRUE(editor.pickFile("CUSTOMER.DBF"));
        editor.Text1->setText("Customers");
        editor.Command6->click();
    });
    f.cmdAddFile->click();
    EXPECT_EQ(paths(), QStringList({kCustomers}));
    EXPECT_FALSE(context->EditMode);
    EXPECT_FALSE(context->FileListChanged);
    EXPECT_EQ(fileTexts(), QStringList({kCustomers + "[0]"}));
    EXPECT_TRUE(shown(f.cmdScan));
    EXPECT_EQ(context->InfoCallerForm, "Form1");
}

TEST_F(Form1FileTest, EditingTheSelectedFile) {
    Form1& f = load({kOrders, kCustomers});
    clickNode(f, fileNode(2), Qt::LeftButton);
    whenEditorOpens([](frmFile& editor) {
        EXPECT_EQ(editor.windowTitle(), "Edit File");
        EXPECT_EQ(editor.pickedFile(), "CUSTOMER.DBF");
        editor.Text1->setText("Customer master");
        editor.Command6->click();
    });
    f.cmdEditFile->click();
    EXPECT_TRUE(context->EditMode);
    EXPECT_EQ(fileDescription(settings, 2), "Customer master");
    EXPECT_EQ(fileTexts(), QStringList({kOrders + "[3]", kCustomers + "[0]"}));
}

TEST_F(Form1FileTest, AnEditAfterTheListChangedElsewhereRescansAndWritesNothing) {
    Form1& f = load({kOrders, kCustomers});
    clickNode(f, fileNode(2), Qt::LeftButton);
    DeleteFileEntry(settings, 1);  // tavrelctl files delete 1
    settings.writes.clear();
    // Entry 2 no longer holds CUSTOMER.DBF: no editor opens.
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "an editor opened";
            modal->close();
        }
    });
    f.cmdEditFile->click();
    EXPECT_TRUE(settings.writes.isEmpty());
    EXPECT_EQ(paths(), QStringList({kCustomers}));
    EXPECT_EQ(fileTexts(), QStringList({kCustomers + "[0]"}));
}

TEST_F(Form1FileTest, DeletingTheOnlyEntryEmptiesTheWindow) {
    Form1& f = load({kOrders});
    clickNode(f, fileNode(1), Qt::LeftButton);
    prompts.answer(MessageAnswer::No);
    f.cmdDeleteFile->click();
    ASSERT_EQ(prompts.asked().size(), 1);
    const MessageBoxRequest& question = prompts.asked()[0].message;
    EXPECT_EQ(question.text, "Are you sure you want to delete 'Desc 1'?");
    EXPECT_EQ(question.title, "Delete File Confirmation");
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(question.defaultButton, MessageAnswer::No);
    EXPECT_EQ(paths(), QStringList({kOrders}));

    prompts.answer(MessageAnswer::Yes);
    f.cmdDeleteFile->click();
    EXPECT_TRUE(paths().isEmpty());
    EXPECT_EQ(settings.GetSetting("Tavrel", "File", "Desc_1", "<none>"), "<none>");
    EXPECT_EQ(f.TreeView1->topLevelItemCount(), 0);
    for (const QWidget* b :
         {f.cmdScan, f.cmdExpand, f.cmdEditFile, f.cmdDeleteFile, f.cmdFind, f.cmdFindNext}) {
        EXPECT_FALSE(shown(b));
    }
    EXPECT_TRUE(shown(f.cmdAddFile));
    EXPECT_EQ(f.statusText(), "No files exist. Click the Add File Button to add some.");
}

TEST_F(Form1FileTest, DeletingAfterAStoppedScanLosesNoEntry) {
    Form1& f = load({kOrders, kCustomers, kLedger});
    recording->intercept = [this](const QString& name, int nth) -> std::optional<NWCCODE> {
        if (name == "NWScanConnectionsUsingFile" && nth == 2) {
            form->cmdStop_Click();
        }
        return std::nullopt;
    };
    f.cmdScan_Click();
    recording->intercept = nullptr;
    ASSERT_EQ(f.statusText(), "Scan terminated.");
    ASSERT_LT(fileTexts().size(), 3);  // the tree shows fewer files than the list holds
    clickNode(f, fileNode(1), Qt::LeftButton);
    prompts.answer(MessageAnswer::Yes);
    f.cmdDeleteFile->click();
    EXPECT_EQ(paths(), QStringList({kCustomers, kLedger}));
    EXPECT_EQ(fileDescription(settings, 2), "Desc 3");
    EXPECT_EQ(fileTexts().size(), 2);
}

}  // namespace
}  // namespace tavrel::test
