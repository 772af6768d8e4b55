#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "mainwindow/TrayPort.h"

class QMenu;

namespace tavrel {

class Form1;

// The main window's notification-area icon: a left click brings the window back, a
// right click opens the tray menu, and while the icon is in place a minimised window
// hides into it instead of staying on the task bar. Where the desktop has no
// notification area the window minimises as usual: hidden with no icon, it would be lost.
class APIStuff : public QObject {
    Q_OBJECT
public:
    explicit APIStuff(std::unique_ptr<TrayPort> port, QObject* parent = nullptr);
    ~APIStuff() override;

    // Shows the form's icon and starts watching the form's minimise requests.
    void TrayIconAdd(Form1& form, QMenu& menu);
    // The icon's tip; the notification area keeps at most 63 characters of it.
    void TrayIconTip(const QString& text);
    // Removes the icon and stops watching the form.
    void TrayIconDelete();
    // Shows a message from the icon; false when no icon is there to show it.
    bool TrayMessage(const QString& title, const QString& text);

    // The restore request: a window hidden in the tray is shown again (and the tray
    // menu's Restore disabled), then restored from its minimised state.
    void restoreWindow();

    bool iconShown() const { return m_shown; }
    QString tip() const { return m_tip; }
    TrayPort& port() const { return *m_port; }

    static constexpr int kMaxTipLength = 63;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void iconClicked(Qt::MouseButton button);
    void hideIntoTray();

    std::unique_ptr<TrayPort> m_port;
    QPointer<Form1> TrayForm;
    QPointer<QMenu> TrayMenu;
    bool m_shown = false;
    QString m_tip;
};

}  // namespace tavrel
