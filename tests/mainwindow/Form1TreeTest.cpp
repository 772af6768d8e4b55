#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "Form1Fixture.h"

namespace tavrel::test {
namespace {

class Form1TreeTest : public Form1Test {
protected:
    Form1& loadThreeFiles() {
        addFiles({"G:\\A.DBF", "G:\\B.DBF", "G:\\C.DBF"});
        Form1& f = load();
        f.show();
        f.TreeView1->expandAll();
        return f;
    }
    QTreeWidgetItem* file(int n) { return root()->child(n - 1); }
    QStringList shownItems() const {
        QStringList texts;
        for (QAction* a : form->mnuPopup->actions()) {
            if (a->isVisible()) {
                texts.append(a->text());
            }
        }
        return texts;
    }
    QList<bool> ticks() const {
        QList<bool> result;
        for (QTreeWidgetItem* node : form->nodesInOrder()) {
            result.append(node->checkState(0) == Qt::Checked);
        }
        return result;
    }
};

TEST_F(Form1TreeTest, ClickingAFileShowsItsDescriptionAndTheEditButtons) {
    Form1& f = loadThreeFiles();
    clickNode(file(2), Qt::LeftButton);
    EXPECT_EQ(f.TreeMouseButton, 1);
    EXPECT_EQ(context.SelectedFileNumber, 2);
    EXPECT_EQ(context.SelectedNodeText, "G:\\B.DBF");
    EXPECT_EQ(context.SelectedNodeTag, "");
    EXPECT_EQ(f.statusText(), "Desc 2");
    EXPECT_TRUE(shown(f.cmdEditFile));
    EXPECT_TRUE(shown(f.cmdDeleteFile));

    clickNode(root(), Qt::LeftButton);
    EXPECT_EQ(f.statusText(), "Idle");
    EXPECT_EQ(context.SelectedNodeText, "Tree");
    EXPECT_FALSE(shown(f.cmdEditFile));
    EXPECT_FALSE(shown(f.cmdDeleteFile));
    EXPECT_EQ(context.SelectedFileNumber, 2);  // kept until a file is clicked
}

TEST_F(Form1TreeTest, AFileWithoutDescriptionShowsAnEmptyStatus) {
    Form1& f = loadThreeFiles();
    settings.DeleteSetting("Tavrel", "File", "Desc_3");
    clickNode(file(3), Qt::LeftButton);
    EXPECT_EQ(f.statusText(), "");
}

TEST_F(Form1TreeTest, WhileAutoScanRunsAFileClickLeavesTheEditButtons) {
    Form1& f = loadThreeFiles();
    f.ckAutoScan->setChecked(true);
    clickNode(file(1), Qt::LeftButton);
    EXPECT_FALSE(shown(f.cmdEditFile));
    EXPECT_FALSE(shown(f.cmdDeleteFile));
    EXPECT_EQ(f.statusText(), "Desc 1");

    // Switching auto scan off with a file selected brings them back.
    f.ckAutoScan->setChecked(false);
    EXPECT_TRUE(shown(f.cmdEditFile));
    EXPECT_TRUE(shown(f.cmdDeleteFile));
    EXPECT_TRUE(shown(f.cmdAddFile));
}

TEST_F(Form1TreeTest, SwitchingAutoScanOffWithTheRootSelectedKeepsThemHidden) {
    Form1& f = loadThreeFiles();
    f.ckAutoScan->setChecked(true);
    f.TreeView1->setCurrentItem(root());
    f.ckAutoScan->setChecked(false);
    EXPECT_FALSE(shown(f.cmdEditFile));
    f.TreeView1->setCurrentItem(nullptr);
    f.ckAutoScan->setChecked(true);
    f.ckAutoScan->setChecked(false);
    EXPECT_FALSE(shown(f.cmdEditFile));
}

TEST_F(Form1TreeTest, RightClickOpensThePopupWithTheItemsOfTheLevel) {
    Form1& f = loadThreeFiles();
    clickNode(file(2), Qt::RightButton);
    EXPECT_EQ(f.TreeMouseButton, 2);
    EXPECT_EQ(f.TreeView1->currentItem(), file(2));
    EXPECT_TRUE(f.mnuPopup->isVisible());
    // The file is on no drive here, so its extended information is not offered.
    EXPECT_EQ(shownItems(),
              QStringList({"Select all users", "Unselect all users", "Select all users of file",
                           "Unselect all users of file", "Send message to selected users",
                           "Clear connection of selected users", "Unlock file",
                           "Unlock all locked files", "Notify When Free"}));
    EXPECT_EQ(f.statusText(), "Desc 2");
    EXPECT_EQ(context.SelectedFileNumber, 2);
    EXPECT_TRUE(shown(f.cmdEditFile));
    f.mnuPopup->hide();

    clickNode(root(), Qt::RightButton);
    EXPECT_TRUE(f.mnuPopup->isVisible());
    EXPECT_EQ(
        shownItems(),
        QStringList({"Select all users", "Unselect all users", "Send message to selected users",
                     "Clear connection of selected users", "Unlock all locked files"}));
    EXPECT_EQ(f.statusText(), "Idle");
    EXPECT_FALSE(shown(f.cmdEditFile));
    f.mnuPopup->hide();
}

TEST_F(Form1TreeTest, BeforeAScanTickingTheRootTicksAllAndAFileOnlyItself) {
    Form1& f = loadThreeFiles();
    root()->setCheckState(0, Qt::Checked);  // as the check box does
    EXPECT_EQ(f.TreeView1->currentItem(), root());
    EXPECT_EQ(ticks(), QList<bool>({true, true, true, true}));
    root()->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(ticks(), QList<bool>({false, false, false, false}));

    file(2)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(f.TreeView1->currentItem(), file(2));
    EXPECT_EQ(ticks(), QList<bool>({false, false, true, false}));
}

TEST_F(Form1TreeTest, TheSpaceKeyTicksTheCurrentNode) {
    Form1& f = loadThreeFiles();
    f.TreeView1->setCurrentItem(root());
    f.TreeView1->setFocus();
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QApplication::sendEvent(f.TreeView1, &space);
    EXPECT_EQ(ticks(), QList<bool>({true, true, true, true}));
}

TEST_F(Form1TreeTest, ExpandAllOnARootOnlyTreeSelectsTheRoot) {
    Form1& f = load();
    f.show();
    f.cmdExpand_Click();
    EXPECT_EQ(f.cmdExpand->text(), "Collapse All [F3]");
    EXPECT_EQ(f.TreeView1->currentItem(), root());
    EXPECT_EQ(f.statusText(), "Idle");
    f.cmdExpand_Click();
    EXPECT_EQ(f.cmdExpand->text(), "Expand All [F3]");
}

TEST_F(Form1TreeTest, ExpandAndCollapseAll) {
    Form1& f = loadThreeFiles();
    root()->setExpanded(false);
    f.cmdExpand->click();
    EXPECT_TRUE(root()->isExpanded());
    EXPECT_EQ(f.cmdExpand->text(), "Collapse All [F3]");
    clickNode(file(1), Qt::LeftButton);
    ASSERT_TRUE(shown(f.cmdEditFile));
    f.cmdExpand->click();
    EXPECT_FALSE(root()->isExpanded());
    EXPECT_EQ(f.cmdExpand->text(), "Expand All [F3]");
    EXPECT_FALSE(shown(f.cmdEditFile));
    EXPECT_FALSE(shown(f.cmdDeleteFile));
    EXPECT_EQ(f.statusText(), "Idle");
}

TEST_F(Form1Test, ExpandAllOnAnEmptyTreeDoesNothing) {
    Form1& f = create();
    f.cmdExpand_Click();
    EXPECT_EQ(f.cmdExpand->text(), "Expand All [F3]");
}

}  // namespace
}  // namespace tavrel::test
