#pragma once

#include <QSystemTrayIcon>

#include "mainwindow/TrayPort.h"

namespace tavrel {

// The notification area through QSystemTrayIcon.
class SystemTrayPort : public TrayPort {
    Q_OBJECT
public:
    explicit SystemTrayPort(QObject* parent = nullptr);

    bool available() const override;
    void showIcon(const QIcon& icon) override;
    void setTip(const QString& tip) override;
    void hideIcon() override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_icon;
};

}  // namespace tavrel
