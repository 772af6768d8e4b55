#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "Form1Fixture.h"

namespace tavrel::test {
namespace {

class Form1KeysTest : public Form1Test {
protected:
    Form1& loadShown() {
        addFiles({"G:\\A.DBF"});
        Form1& f = load();
        f.show();
        QApplication::setActiveWindow(&f);
        return f;
    }
    // Presses a key with the focus where given, as the keyboard delivers it.
    static void press(QWidget* focus, Qt::Key key,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        focus->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), focus);
        QKeyEvent down(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(focus, &down);
    }
    // Counts the clicks of every command button.
    void countClicks(Form1& f) {
        for (QPushButton* button : buttons(f)) {
            QObject::connect(button, &QPushButton::clicked, [this, button] { clicks[button]++; });
        }
    }
    static QList<QPushButton*> buttons(Form1& f) {
        return {f.cmdAddFile,  f.cmdDeleteFile, f.cmdScan,     f.cmdStop,     f.cmdExpand,
                f.cmdEditFile, f.cmdFind,       f.cmdFindNext, f.cmdDatabase, f.cmdDetails};
    }
    std::map<QPushButton*, int> clicks;
};

TEST_F(Form1KeysTest, EachCommandKeyClicksItsButtonOnlyWhenShown) {
    Form1& f = loadShown();
    countClicks(f);
    // Buttons that would open a window or change the list are left unconnected here: the
    // test sees the click, not what follows it.
    for (QPushButton* button : buttons(f)) {
        button->disconnect(&f);
    }
    const struct {
        Qt::Key key;
        QPushButton* button;
        bool always;  // acts whether or not the button is shown
    } keys[] = {
        {Qt::Key_Insert, f.cmdAddFile, false}, {Qt::Key_Delete, f.cmdDeleteFile, false},
        {Qt::Key_F2, f.cmdScan, false},        {Qt::Key_F3, f.cmdExpand, false},
        {Qt::Key_F4, f.cmdEditFile, false},    {Qt::Key_F5, f.cmdFind, false},
        {Qt::Key_F6, f.cmdFindNext, false},    {Qt::Key_F7, f.cmdDatabase, true},
        {Qt::Key_F8, f.cmdDetails, true},
    };
    for (QWidget* focus : {static_cast<QWidget*>(f.TreeView1), static_cast<QWidget*>(f.cmdExit),
                           static_cast<QWidget*>(f.ckButtonTips)}) {
        for (const auto& k : keys) {
            for (bool shown : {true, false}) {
                k.button->setVisible(shown);
                f.cmdStop->hide();
                clicks.clear();
                press(focus, k.key);
                EXPECT_EQ(clicks[k.button], shown || k.always ? 1 : 0)
                    << k.key << " shown " << shown << " focus " << focus->metaObject()->className();
                int total = 0;
                for (const auto& [button, count] : clicks) {
                    total += count;
                }
                EXPECT_EQ(total, clicks[k.button]) << k.key;
            }
        }
    }
}

TEST_F(Form1KeysTest, F2StopsWhenStopIsShownAndModifiedKeysDoNothing) {
    Form1& f = loadShown();
    countClicks(f);
    for (QPushButton* button : buttons(f)) {
        button->disconnect(&f);
    }
    f.cmdScan->hide();
    f.cmdStop->show();
    press(f.TreeView1, Qt::Key_F2);
    EXPECT_EQ(clicks[f.cmdStop], 1);
    f.cmdScan->show();
    clicks.clear();
    press(f.TreeView1, Qt::Key_F2, Qt::ShiftModifier);
    press(f.TreeView1, Qt::Key_F7, Qt::ControlModifier);
    press(f.TreeView1, Qt::Key_F8, Qt::AltModifier);
    press(f.TreeView1, Qt::Key_F9);
    press(f.TreeView1, Qt::Key_Escape, Qt::ShiftModifier);
    press(f.TreeView1, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_TRUE(f.isVisible());
    for (const auto& [button, count] : clicks) {
        EXPECT_EQ(count, 0) << button->text().toStdString();
    }
    EXPECT_TRUE(platform.viewed.isEmpty());

    press(f.cmdExit, Qt::Key_F1);
    EXPECT_EQ(platform.viewed, QStringList{context.AppFolder + "faq.fil"});
}

TEST_F(Form1KeysTest, ADoubleClickOnTheBodyOrStatusBarCentresTheWindow) {
    Form1& f = loadShown();
    for (QWidget* surface : {static_cast<QWidget*>(&f), static_cast<QWidget*>(f.sbStatus)}) {
        f.move(3, 7);
        doubleClick(surface);
        expectCentred(f);
    }
    // A right-button press does not start a drag.
    const QPoint before = f.pos();
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(2, 2), f.mapToGlobal(QPointF(2, 2)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &right);
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 50), f.mapToGlobal(QPointF(50, 50)),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &move);
    EXPECT_EQ(f.pos(), before);
}

}  // namespace
}  // namespace tavrel::test
