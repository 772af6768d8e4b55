#include "mainwindow/SystemTrayPort.h"

namespace tavrel {

SystemTrayPort::SystemTrayPort(QObject* parent) : TrayPort(parent) {
    connect(&m_icon, &QSystemTrayIcon::activated, this, &SystemTrayPort::activated);
}

bool SystemTrayPort::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayPort::showIcon(const QIcon& icon) {
    m_icon.setIcon(icon);
    m_icon.show();
}

void SystemTrayPort::setTip(const QString& tip) {
    m_icon.setToolTip(tip);
}

void SystemTrayPort::hideIcon() {
    m_icon.hide();
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
