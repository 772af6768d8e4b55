#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class QWidget;

namespace tavrel {

// Moves a window to left = (screen width - width) / 2, top = (screen height - height) *
// 0.9 / 2 of its screen: centred across, a little above the middle.
void CentreWindow(QWidget* window);

// The gestures of a window's plain surfaces (its background, labels, status bar): a press
// of the left button alone drags the window as its title bar would (DragWindow), a
// double-click centres it (CentreWindow). Owned by the window.
class WindowGestures : public QObject {
public:
    // Gives the window and the surfaces named the gestures.
    static WindowGestures* install(QWidget* window, const QList<QWidget*>& surfaces);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WindowGestures(QWidget* window);
    void DragWindow(const QPoint& globalPos);

    QWidget* m_window;
    // Without a window manager the system move is refused; the window then follows the
    // mouse from here until the button is released.
    bool m_dragging = false;
    QPoint m_grabOffset;
};

}  // namespace tavrel
