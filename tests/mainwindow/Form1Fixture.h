#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <memory>

#include "common/AppContext.h"
#include "common/IniSettingsStore.h"
#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileListStore.h"
#include "mainwindow/Form1.h"
#include "mainwindow/NodeTree.h"
#include "mainwindow/StatusLine.h"
#include "mainwindow/TrayPort.h"
#include "support/FakeClock.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel::test {

// Presses and releases a mouse button on a node, as the user would.
inline void clickNode(Form1& form, QTreeWidgetItem* node, Qt::MouseButton button) {
    NodeTree* tree = form.TreeView1;
    tree->scrollToItem(node);
    const QPoint pos = tree->visualItemRect(node).center();
    const QPoint global = tree->viewport()->mapToGlobal(pos);
    QMouseEvent press(QEvent::MouseButtonPress, pos, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, global, button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &release);
}

// A key press where the window's keys arrive: the focused control, or the window.
inline void postKey(Form1& form, Qt::Key key, const QString& text) {
    QWidget* focus = QApplication::focusWidget();
    QApplication::postEvent(focus != nullptr ? focus : &form,
                            new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
}

// A double-click of the left button on a window's surface.
inline void doubleClick(QWidget* surface) {
    const QPoint at(2, 2);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, surface->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &dbl);
}

// The window is centred across its screen and 0.45 of the free height from the top.
inline void expectCentred(const QWidget& window) {
    const QRect screen = window.screen()->geometry();
    const QRect frame = window.frameGeometry();
    EXPECT_LE(std::abs((frame.left() - screen.left()) - (screen.right() - frame.right())), 1);
    EXPECT_NEAR(frame.top() - screen.top(), 0.45 * (screen.height() - frame.height()), 1.0);
}

// A notification area the test clicks on; it exists unless told otherwise.
class FakeTrayPort : public TrayPort {
public:
    bool available() const override { return hasTray; }
    void showIcon(const QIcon& shownIcon) override {
        shown = true;
        icon = shownIcon;
    }
    void setTip(const QString& text) override { tip = text; }
    void hideIcon() override { shown = false; }
    bool showMessage(const QString& title, const QString& text) override {
        messages.append(title + ": " + text);
        return shown;
    }
    void click(Qt::MouseButton button) { emit clicked(button); }

    bool hasTray = true;
    bool shown = false;
    QString tip;
    QIcon icon;
    QStringList messages;
};

// Settings in a temporary folder that also keep the order of the writes.
class RecordingSettings : public IniSettingsStore {
public:
    using IniSettingsStore::IniSettingsStore;
    bool SaveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override {
        writes.append(section + "/" + key + "=" + value);
        return IniSettingsStore::SaveSetting(app, section, key, value);
    }
    QStringList writes;
};

class Form1Test : public ::testing::Test {
protected:
    // Builds the window and runs its start-up.
    Form1& load(const QString& commandLine = QString()) {
        create(commandLine);
        EXPECT_TRUE(form->Form_Load());
        return *form;
    }
    Form1& create(const QString& commandLine = QString()) {
        auto port = std::make_unique<FakeTrayPort>();
        port->hasTray = hasTray;
        tray = port.get();
        form = std::make_unique<Form1>(context, commandLine, std::move(port));
        form->setYieldIntervalMs(0);
        return *form;
    }
    void setOption(const char* key, const char* value) {
        settings.SaveSetting("Tavrel", "Tree", key, value);
        settings.writes.clear();
    }
    void addFiles(const QStringList& paths) {
        for (int i = 0; i < paths.size(); ++i) {
            SaveFileEntry(settings, i + 1, paths[i], QStringLiteral("Desc %1").arg(i + 1));
        }
        settings.writes.clear();
    }
    QTreeWidgetItem* root() const { return form->TreeView1->topLevelItem(0); }
    QStringList treeWrites() const { return settings.writes.filter("Tree/"); }

    void clickNode(QTreeWidgetItem* node, Qt::MouseButton button) {
        test::clickNode(*form, node, button);
    }
    bool shown(const QWidget* w) const { return w->isVisibleTo(form.get()); }

    bool hasTray = true;
    QTemporaryDir dir;
    RecordingSettings settings{dir.path()};
    FakeClock clock;
    ScriptedPrompts prompts;
    RecordingPlatform platform;
    // A site with no servers: start-up works, and no file is on a server.
    EmulatedNetWare netware{NetWareSite{}};
    AppContext context{settings, clock, prompts, platform, netware, netware};
    FakeTrayPort* tray = nullptr;
    std::unique_ptr<Form1> form;
};

}  // namespace tavrel::test
