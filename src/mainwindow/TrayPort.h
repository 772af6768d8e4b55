#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

namespace tavrel {

// The desktop's notification area as the tray code needs it: one icon with a tip that
// reports the mouse buttons released over it. Tests put a fake in its place.
class TrayPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // True when the desktop has a notification area to show the icon in.
    virtual bool available() const = 0;
    virtual void showIcon(const QIcon& icon) = 0;
    virtual void setTip(const QString& tip) = 0;
    virtual void hideIcon() = 0;
    // A message balloon from the shown icon; false when there is no icon to show it from.
    virtual bool showMessage(const QString& title, const QString& text) = 0;

signals:
    void clicked(Qt::MouseButton button);
};

}  // namespace tavrel
