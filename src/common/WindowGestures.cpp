#include "common/WindowGestures.h"

#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace tavrel {

void CentreWindow(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + int((area.height() - size.height()) * 0.9 / 2));
}

WindowGestures::WindowGestures(QWidget* window) : QObject(window), m_window(window) {}

WindowGestures* WindowGestures::install(QWidget* window, const QList<QWidget*>& surfaces) {
    auto* gestures = new WindowGestures(window);
    window->installEventFilter(gestures);
    for (QWidget* surface : surfaces) {
        surface->installEventFilter(gestures);
    }
    return gestures;
}

void WindowGestures::DragWindow(const QPoint& globalPos) {
    QWindow* handle = m_window->windowHandle();
    if (handle != nullptr && handle->startSystemMove()) {
        return;
    }
    m_dragging = true;
    m_grabOffset = globalPos - m_window->frameGeometry().topLeft();
}

bool WindowGestures::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || mouse->buttons() != Qt::LeftButton) {
                return false;
            }
            DragWindow(mouse->globalPosition().toPoint());
            return true;  // not again on the parent a surface would pass it on to
        }
        case QEvent::MouseMove:
            if (m_dragging) {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                m_window->move(mouse->globalPosition().toPoint() - m_grabOffset);
                return true;
            }
            return false;
        case QEvent::MouseButtonRelease:
            m_dragging = false;
            return false;
        case QEvent::MouseButtonDblClick:
            m_dragging = false;
            CentreWindow(m_window);
            return true;
        default:
            return false;
    }
}

}  // namespace tavrel
