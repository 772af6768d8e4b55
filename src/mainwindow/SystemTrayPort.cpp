#include "mainwindow/SystemTrayPort.h"

namespace tavrel {

bool SystemTrayPort::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayPort::showIcon(const QIcon& icon) {
    if (!m_icon) {
        if (!available()) {
            return;
        }
        m_icon = std::make_unique<QSystemTrayIcon>();
        m_icon->setToolTip(m_tip);
        connect(m_icon.get(), &QSystemTrayIcon::activated, this, &SystemTrayPort::activated);
    }
    m_icon->setIcon(icon);
    m_icon->show();
}

void SystemTrayPort::setTip(const QString& tip) {
    m_tip = tip;
    if (m_icon) {
        m_icon->setToolTip(tip);
    }
}

void SystemTrayPort::hideIcon() {
    if (m_icon) {
        m_icon->hide();
    }
}

bool SystemTrayPort::showMessage(const QString& title, const QString& text) {
    if (!m_icon || !m_icon->isVisible()) {
        return false;
    }
    m_icon->showMessage(title, text, QSystemTrayIcon::Information);
    return true;
}

void SystemTrayPort::activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::DoubleClick:
            emit clicked(Qt::LeftButton);
            break;
        case QSystemTrayIcon::Context:
            emit clicked(Qt::RightButton);
            break;
        default:
            break;
    }
}

}  // namespace tavrel
