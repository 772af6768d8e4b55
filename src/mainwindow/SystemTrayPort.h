#pragma once

#include <QSystemTrayIcon>
#include <memory>

#include "mainwindow/TrayPort.h"

namespace tavrel {

// The notification area through QSystemTrayIcon, made only once a notification area
// exists to take it.
class SystemTrayPort : public TrayPort {
    Q_OBJECT
public:
    using TrayPort::TrayPort;

    bool available() const override;
    void showIcon(const QIcon& icon) override;
    void setTip(const QString& tip) override;
    void hideIcon() override;
    bool showMessage(const QString& title, const QString& text) override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QSystemTrayIcon> m_icon;
    QString m_tip;
};

}  // namespace tavrel
