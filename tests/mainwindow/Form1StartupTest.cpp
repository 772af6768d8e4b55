#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "Form1Fixture.h"

namespace tavrel::test {
namespace {

TEST_F(Form1Test, ControlsHaveTheirCaptionsAndPlaces) {
    Form1& f = create();
    struct Control {
        QWidget* widget;
        QString caption;
        QRect place;  // pixels, twips / 15
    };
    const auto button = [](QWidget* w) { return static_cast<QAbstractButton*>(w)->text(); };
    const Control controls[] = {
        {f.TreeView1, "", {8, 8, 481, 345}},
        {f.cmdScan, "Scan [F2]", {496, 8, 105, 25}},
        {f.cmdStop, "Stop [F2]", {496, 8, 105, 25}},
        {f.cmdExpand, "Expand All [F3]", {496, 40, 105, 25}},
        {f.cmdAddFile, "Add File.. [Ins]", {496, 72, 105, 25}},
        {f.cmdEditFile, "Edit File.. [F4]", {496, 104, 105, 25}},
        {f.cmdDeleteFile, "Delete File [Del]", {496, 136, 105, 25}},
        {f.cmdFind, "Find.. [F5]", {496, 168, 105, 25}},
        {f.cmdFindNext, "Find Next [F6]", {496, 200, 105, 25}},
        {f.cmdDatabase, "Database.. [F7]", {496, 232, 105, 25}},
        {f.cmdDetails, "Details.. [F8]", {496, 264, 105, 25}},
        {f.cmdAbout, "About", {496, 296, 105, 25}},
        {f.cmdExit, "Exit [Esc]", {496, 328, 105, 25}},
        {f.cmdShowTreeOptions, "Show Tree Options", {8, 352, 105, 25}},
        {f.ckButtonTips, "Button Tips", {136, 360, 81, 17}},
        {f.ckAutoScan, "Auto Scan", {224, 360, 73, 17}},
        {f.ckDatabase, "Store Scan Results", {304, 360, 113, 17}},
        {f.Frame1, "", {8, 240, 241, 105}},
        {f.ckPicture, "Pictures", {16, 16, 105, 17}},
        {f.ckUserDetails, "User Details", {16, 32, 113, 17}},
        {f.ckPlusMinus, "Plus/Minus Symbols", {16, 48, 121, 17}},
        {f.ckExpandItem, "Expand/Collapse Item When Selected", {16, 64, 209, 17}},
        {f.ckKeepExpanded, "Keep expanded", {16, 80, 209, 17}},
        {f.ckHotTracking, "Hot Tracking", {136, 16, 89, 17}},
        {f.ckFullRowSelect, "Full Row Select", {136, 32, 97, 17}},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.widget->metaObject()->className() + (" " + c.caption).toStdString());
        if (auto* b = qobject_cast<QAbstractButton*>(c.widget)) {
            EXPECT_EQ(button(b), c.caption);
        }
        EXPECT_EQ(c.widget->geometry(), c.place);
    }
    EXPECT_EQ(f.Frame1->title(), "Tree Options");
    EXPECT_EQ(f.size(), QSize(609, 409));
    EXPECT_EQ(f.sbStatus->geometry(), QRect(0, 384, 609, 25));
    EXPECT_EQ(f.sbStatus->currentMessage(), "Idle");
    EXPECT_EQ(f.Timer1->interval(), 60000);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.ImageList1.keys(), QStringList({"user", "scan", "vigil", "tree", "file"}));
    for (const QString& key : f.ImageList1.keys()) {
        EXPECT_FALSE(f.ImageList1.icon(key).isNull()) << key.toStdString();
    }
    EXPECT_EQ(f.ImageList1.icon("user").availableSizes().value(0), QSize(16, 16));
    EXPECT_EQ(f.ImageList1.icon("scan").availableSizes().value(0), QSize(32, 32));
}

TEST_F(Form1Test, FirstRunUsesTheDefaultsAndExitWritesTheSevenKeysInOrder) {
    Form1& f = load();
    EXPECT_TRUE(f.ckButtonTips->isChecked());
    EXPECT_TRUE(f.ckPicture->isChecked());
    EXPECT_TRUE(f.ckPlusMinus->isChecked());
    EXPECT_TRUE(f.ckUserDetails->isChecked());
    EXPECT_FALSE(f.ckHotTracking->isChecked());
    EXPECT_FALSE(f.ckFullRowSelect->isChecked());
    EXPECT_FALSE(f.ckExpandItem->isChecked());
    EXPECT_EQ(f.TreeView1->treeStyle(), TreeStyle::LinesPlusMinusPictures);
    EXPECT_FALSE(f.TreeView1->hotTracking());
    EXPECT_FALSE(f.TreeView1->fullRowSelect());
    EXPECT_FALSE(f.TreeView1->singleExpand());
    EXPECT_TRUE(treeWrites().isEmpty());

    int unloaded = 0;
    QObject::connect(&f, &Form1::unloaded, [&] { ++unloaded; });
    EXPECT_TRUE(f.close());
    EXPECT_EQ(unloaded, 1);
    EXPECT_TRUE(prompts.asked().isEmpty());  // no question while auto scan is off
    EXPECT_EQ(treeWrites(),
              QStringList({"Tree/ButTips=1", "Tree/Pictures=1", "Tree/PlusMinus=1",
                           "Tree/UserDetails=1", "Tree/HotTracking=0", "Tree/FullRowSelect=0",
                           "Tree/ExpandItem=0", "Tree/KeepExpanded=0"}));
    EXPECT_FALSE(tray->shown);
}

TEST_F(Form1Test, StoredOptionsAreShownAndDamagedOnesRepairedAtExit) {
    setOption("ButTips", "0");
    setOption("Pictures", "abc");
    setOption("PlusMinus", "1");
    setOption("UserDetails", "0");
    setOption("HotTracking", "1");
    setOption("FullRowSelect", "1");
    setOption("ExpandItem", "1");
    setOption("KeepExpanded", "1");
    Form1& f = load();
    EXPECT_TRUE(f.ckKeepExpanded->isChecked());
    EXPECT_FALSE(f.ckButtonTips->isChecked());
    EXPECT_FALSE(f.ckPicture->isChecked());
    EXPECT_EQ(f.PicturesOption, 0);
    EXPECT_EQ(f.UserDetailsOption, 0);
    EXPECT_EQ(f.TreeView1->treeStyle(), TreeStyle::LinesPlusMinus);
    EXPECT_TRUE(f.TreeView1->hotTracking());
    EXPECT_TRUE(f.TreeView1->fullRowSelect());
    EXPECT_TRUE(f.TreeView1->singleExpand());
    EXPECT_TRUE(root()->icon(0).isNull());  // no pictures: the root has no image

    for (QPushButton* b :
         {f.cmdScan, f.cmdExpand, f.cmdAddFile, f.cmdEditFile, f.cmdDeleteFile, f.cmdFind,
          f.cmdFindNext, f.cmdDatabase, f.cmdDetails, f.cmdAbout, f.cmdExit}) {
        EXPECT_EQ(b->toolTip(), "") << b->text().toStdString();
    }
    f.close();
    EXPECT_EQ(treeWrites(),
              QStringList({"Tree/ButTips=0", "Tree/Pictures=0", "Tree/PlusMinus=1",
                           "Tree/UserDetails=0", "Tree/HotTracking=1", "Tree/FullRowSelect=1",
                           "Tree/ExpandItem=1", "Tree/KeepExpanded=1"}));
}

TEST_F(Form1Test, ButtonTipsFollowTheirBox) {
    Form1& f = load();
    const std::pair<QPushButton*, QString> tips[] = {
        {f.cmdScan, " Scan files in the tree for users "},
        {f.cmdExpand, " Expand/Collapse all tree items "},
        {f.cmdAddFile, " Add a file to the tree "},
        {f.cmdEditFile, " Edit the selected file in the tree "},
        {f.cmdDeleteFile, " Delete the selected file in the tree "},
        {f.cmdFind, " Find a specific file/user in the tree "},
        {f.cmdFindNext, " Find the next file/user in the tree "},
        {f.cmdDatabase, " Run queries against the log table "},
        {f.cmdDetails, " Details about user in/out times "},
        {f.cmdAbout, " Information about Tavrel "},
        {f.cmdExit, " Exit Tavrel "},
    };
    for (const auto& [b, tip] : tips) {
        EXPECT_EQ(b->toolTip(), tip);
    }
    EXPECT_EQ(f.cmdStop->toolTip(), "");
    f.ckButtonTips->setChecked(false);
    for (const auto& [b, tip] : tips) {
        EXPECT_EQ(b->toolTip(), "") << tip.toStdString();
    }
    f.ckButtonTips->click();
    for (const auto& [b, tip] : tips) {
        EXPECT_EQ(b->toolTip(), tip);
    }
}

TEST_F(Form1Test, StartUpShowsTheRootAndTheMonitoredFiles) {
    addFiles({"G:\\APPS\\ORDERS.DBF", "H:\\DATA\\STOCK.DBF"});
    Form1& f = load();
    ASSERT_EQ(f.TreeView1->topLevelItemCount(), 1);
    QTreeWidgetItem* r = root();
    EXPECT_EQ(r->text(0), "Tree");
    EXPECT_EQ(Form1::nodeKey(r), "Tree");
    EXPECT_EQ(r->icon(0).cacheKey(), f.ImageList1.icon("tree").cacheKey());
    ASSERT_EQ(r->childCount(), 2);
    EXPECT_EQ(r->child(0)->text(0), "G:\\APPS\\ORDERS.DBF");
    EXPECT_EQ(r->child(1)->text(0), "H:\\DATA\\STOCK.DBF");
    for (QTreeWidgetItem* node : f.nodesInOrder()) {
        EXPECT_EQ(Form1::nodeTag(node), "");  // start-up nodes carry no tags
        EXPECT_EQ(node->checkState(0), Qt::Unchecked);
        EXPECT_FALSE(node->flags() & Qt::ItemIsAutoTristate);
    }
    EXPECT_EQ(r->child(0)->icon(0).cacheKey(), f.ImageList1.icon("file").cacheKey());
    EXPECT_FALSE(r->isExpanded());

    EXPECT_TRUE(shown(f.cmdScan));
    EXPECT_TRUE(shown(f.cmdExpand));
    EXPECT_TRUE(shown(f.cmdFind));
    EXPECT_TRUE(shown(f.cmdAddFile));
    EXPECT_TRUE(shown(f.cmdDatabase));
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             f.cmdStop, f.cmdEditFile, f.cmdDeleteFile, f.cmdFindNext, f.ckDatabase, f.Frame1}) {
        EXPECT_FALSE(shown(hidden));
    }
    EXPECT_EQ(f.windowTitle(), "Tavrel");
    EXPECT_EQ(f.statusText(), "Welcome to Tavrel! Press the F1 key for help.");
    EXPECT_TRUE(tray->shown);
    EXPECT_EQ(tray->tip, "Tavrel");
    EXPECT_EQ(f.windowIcon().cacheKey(), f.ImageList1.icon("vigil").cacheKey());
    EXPECT_TRUE(context.AppFolder.endsWith('/'));
    EXPECT_EQ(context.InfoCallerForm, "Form1");
    EXPECT_FALSE(context.TreeScanned);
}

TEST_F(Form1Test, WithNoFilesScanExpandAndFindStayHidden) {
    Form1& f = load();
    EXPECT_EQ(root()->childCount(), 0);
    EXPECT_FALSE(shown(f.cmdScan));
    EXPECT_FALSE(shown(f.cmdExpand));
    EXPECT_FALSE(shown(f.cmdFind));
}

TEST_F(Form1Test, AMissingNetWareClientEndsStartUpWithoutWritingAnything) {
    ASSERT_EQ(netware.addFault({"NWCallsInit", nwcode::kClientNotPresent, {}, {}, {}}), "");
    create();
    EXPECT_FALSE(form->Form_Load());
    ASSERT_FALSE(netware.initFailureReason().isEmpty());
    ASSERT_EQ(prompts.asked().size(), 1);
    const MessageBoxRequest& message = prompts.asked().front().message;
    // The site's reason follows on a third line, so a broken site file can be mended.
    EXPECT_EQ(message.text,
              "Error! Unable to initialize network.\nYou must have Novell Netware Client "
              "installed.\n" +
                  netware.initFailureReason());
    EXPECT_EQ(message.title, "Tavrel");
    EXPECT_EQ(message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(message.buttons, MessageButtons::Ok);
    EXPECT_FALSE(tray->shown);
    form.reset();
    EXPECT_TRUE(settings.writes.isEmpty());
}

// A client that fails without saying why.
class SilentClient : public EmulatedNetWare {
public:
    SilentClient() : EmulatedNetWare(NetWareSite{}) {}
    NWCCODE NWCallsInit() override { return nwcode::kClientNotPresent; }
    QString initFailureReason() const override { return QString(); }
};

TEST_F(Form1Test, WithoutAReasonTheMessageHasTwoLines) {
    SilentClient silent;
    AppContext silentContext(settings, clock, prompts, platform, silent, silent);
    Form1 f(silentContext, QString(), std::make_unique<FakeTrayPort>());
    EXPECT_FALSE(f.Form_Load());
    EXPECT_EQ(prompts.messages(),
              QStringList({"Error! Unable to initialize network.\nYou must have Novell Netware "
                           "Client installed."}));
}

struct CommandLineCase {
    const char* argument;
    bool autoScan;
    bool store;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << "'" << c.argument << "'";
}

class Form1CommandLineTest : public Form1Test,
                             public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(Form1CommandLineTest, SwitchesAutoScanAndScansOnce) {
    const CommandLineCase& c = GetParam();
    Form1& f = load(QString::fromLatin1(c.argument));
    EXPECT_EQ(f.ckAutoScan->isChecked(), c.autoScan);
    EXPECT_EQ(f.ckDatabase->isChecked(), c.store);
    EXPECT_EQ(f.Timer1->isActive(), c.autoScan);
    // With no files the one scan only reports that.
    EXPECT_EQ(f.statusText(),
              c.autoScan ? QString("No files exist. Click the Add File Button to add some.")
                         : QString("Welcome to Tavrel! Press the F1 key for help."));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Form1CommandLineTest,
    ::testing::Values(CommandLineCase{"", false, false}, CommandLineCase{"/p", false, false},
                      CommandLineCase{"-t", true, false},
                      CommandLineCase{"  watch -T  ", true, false},
                      CommandLineCase{"x-d", true, true}, CommandLineCase{"-D", true, true},
                      CommandLineCase{"-d x", false, false}, CommandLineCase{"-tx", false, false}));

TEST_F(Form1Test, ExitWhileAutoScanRunsAsksAndNoKeepsEverything) {
    Form1& f = load();
    f.show();
    f.ckAutoScan->setChecked(true);
    prompts.answer(MessageAnswer::No);
    EXPECT_FALSE(f.close());
    ASSERT_EQ(prompts.asked().size(), 1);
    const MessageBoxRequest& question = prompts.asked().front().message;
    EXPECT_EQ(question.text, "Auto scan is active. Do you still want to exit?");
    EXPECT_EQ(question.title, "Exit Confirmation");
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(f.ckAutoScan->isChecked());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_TRUE(tray->shown);
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_TRUE(treeWrites().isEmpty());

    prompts.answer(MessageAnswer::Yes);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(prompts.asked().size(), 2);
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_EQ(treeWrites().size(), 8);
    EXPECT_FALSE(tray->shown);
}

TEST_F(Form1Test, EscAndExitCloseThroughUnload) {
    Form1& f = load();
    f.show();
    f.ckAutoScan->setChecked(true);
    f.cmdAddFile->setFocus();
    prompts.answer(MessageAnswer::No);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
    QApplication::sendEvent(f.TreeView1, &esc);  // wherever the focus is
    EXPECT_EQ(prompts.asked().size(), 1);
    EXPECT_TRUE(f.isVisible());

    prompts.answer(MessageAnswer::No);
    f.cmdExit->click();
    EXPECT_EQ(prompts.asked().size(), 2);
    EXPECT_TRUE(f.isVisible());

    prompts.answer(MessageAnswer::Yes);
    f.cmdExit->click();
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_FALSE(f.isVisible());
}

TEST_F(Form1Test, ShowTreeOptionsTogglesThePanel) {
    Form1& f = load();
    f.cmdShowTreeOptions->click();
    EXPECT_EQ(f.cmdShowTreeOptions->text(), "Hide Tree Options");
    EXPECT_TRUE(shown(f.Frame1));
    f.cmdShowTreeOptions->click();
    EXPECT_EQ(f.cmdShowTreeOptions->text(), "Show Tree Options");
    EXPECT_FALSE(shown(f.Frame1));
}

TEST_F(Form1Test, TreeOptionBoxesChangeTheTree) {
    Form1& f = load();
    f.ckPicture->setChecked(false);
    EXPECT_EQ(f.PicturesOption, 0);
    EXPECT_EQ(f.TreeView1->treeStyle(), TreeStyle::LinesPlusMinus);
    f.ckPlusMinus->setChecked(false);
    EXPECT_EQ(f.TreeView1->treeStyle(), TreeStyle::Lines);
    f.ckPicture->setChecked(true);
    EXPECT_EQ(f.TreeView1->treeStyle(), TreeStyle::LinesPictures);
    f.ckHotTracking->setChecked(true);
    EXPECT_TRUE(f.TreeView1->hotTracking());
    f.ckFullRowSelect->setChecked(true);
    EXPECT_TRUE(f.TreeView1->fullRowSelect());
    f.ckExpandItem->setChecked(true);
    EXPECT_TRUE(f.TreeView1->singleExpand());
    f.ckUserDetails->setChecked(false);
    EXPECT_EQ(f.UserDetailsOption, 0);
    f.close();
    EXPECT_EQ(treeWrites(),
              QStringList({"Tree/ButTips=1", "Tree/Pictures=1", "Tree/PlusMinus=0",
                           "Tree/UserDetails=0", "Tree/HotTracking=1", "Tree/FullRowSelect=1",
                           "Tree/ExpandItem=1", "Tree/KeepExpanded=0"}));
}

}  // namespace
}  // namespace tavrel::test

namespace tavrel::test {
namespace {

TEST_F(Form1Test, UnreadableSettingsAreNamedAtStartUpAndNeverWrittenOver) {
    QDir().mkpath(dir.filePath("Tavrel"));
    const QString path = dir.filePath("Tavrel/Tavrel.ini");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray broken = "[File]\nFile_1=G:\\\\APPS\\\\ORDERS.DBF\nthis line is broken\n";
    file.write(broken);
    file.close();

    Form1& f = load();
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked().at(0).message.text,
              QStringLiteral("The settings file ") + path +
                  QStringLiteral(" cannot be read. Tavrel leaves it as it is; mend or remove it."));
    f.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), broken);
}

}  // namespace
}  // namespace tavrel::test
