#include "mainwindow/APIStuff.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>

#include "mainwindow/Form1.h"

namespace tavrel {

APIStuff::APIStuff(std::unique_ptr<TrayPort> port, QObject* parent)
    : QObject(parent), m_port(std::move(port)) {
    connect(m_port.get(), &TrayPort::clicked, this, &APIStuff::iconClicked);
}

APIStuff::~APIStuff() {
    TrayIconDelete();
}

void APIStuff::TrayIconAdd(Form1& form, QMenu& menu) {
    if (TrayForm && TrayForm != &form) {
        TrayForm->removeEventFilter(this);
    }
    TrayForm = &form;
    TrayMenu = &menu;
    form.installEventFilter(this);
    m_port->showIcon(form.windowIcon());
    m_shown = true;
}

void APIStuff::TrayIconTip(const QString& text) {
    m_tip = text.left(kMaxTipLength);
    m_port->setTip(m_tip);
}

void APIStuff::TrayIconDelete() {
    if (m_shown) {
        m_port->hideIcon();
        m_shown = false;
    }
    if (TrayForm) {
        TrayForm->removeEventFilter(this);
    }
    TrayForm = nullptr;
    TrayMenu = nullptr;
}

bool APIStuff::TrayMessage(const QString& title, const QString& text) {
    return m_shown && m_port->available() && m_port->showMessage(title, text);
}

void APIStuff::restoreWindow() {
    if (!TrayForm) {
        return;
    }
    if (TrayForm->isHidden()) {
        TrayForm->setWindowState(TrayForm->windowState() & ~Qt::WindowMinimized);
        TrayForm->show();
        TrayForm->SetTrayMenuItems(0);
    } else if (TrayForm->isMinimized()) {
        TrayForm->showNormal();
    }
}

void APIStuff::iconClicked(Qt::MouseButton button) {
    if (!TrayForm) {
        return;
    }
    if (button == Qt::LeftButton) {
        restoreWindow();
        TrayForm->raise();
        TrayForm->activateWindow();
    } else if (button == Qt::RightButton && TrayMenu) {
        TrayMenu->popup(QCursor::pos());
    }
}

void APIStuff::hideIntoTray() {
    if (TrayForm && TrayForm->isMinimized() && TrayForm->isVisible() && m_shown &&
        m_port->available()) {
        TrayForm->hide();
        TrayForm->SetTrayMenuItems(1);
    }
}

bool APIStuff::eventFilter(QObject* watched, QEvent* event) {
    // Hidden once the minimise has run its course: whoever minimised may show the window
    // again as part of it.
    if (watched == TrayForm && event->type() == QEvent::WindowStateChange &&
        TrayForm->isMinimized()) {
        QMetaObject::invokeMethod(this, &APIStuff::hideIntoTray, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tavrel
