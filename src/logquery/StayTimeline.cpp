#include "logquery/StayTimeline.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace tavrel {

namespace {

constexpr int kDaySeconds = 24 * 3600;
constexpr int kSideMargin = 14;  // room for the end labels
constexpr int kTopMargin = 4;
constexpr int kLabelHeight = 14;
// A bar is never thinner than this, so a one-minute stay can still be found and hovered.
constexpr int kMinBarWidth = 2;

const QColor kClosedColour(0x2e, 0x6d, 0xb4);
const QColor kOpenColour(0xe0, 0x8a, 0x1c);

}  // namespace

StayTimeline::StayTimeline(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StayTimeline::setSpans(const QList<StaySpan>& spans) {
    m_spans = spans;
    update();
}

QSize StayTimeline::sizeHint() const {
    return {480, 56};
}

QRect StayTimeline::dayRect() const {
    return QRect(kSideMargin, kTopMargin, width() - 2 * kSideMargin,
                 height() - 2 * kTopMargin - kLabelHeight);
}

QRect StayTimeline::barRect(const StaySpan& span) const {
    const QRect day = dayRect();
    const auto x = [&day](int seconds) {
        return day.left() +
               static_cast<int>(static_cast<qint64>(seconds) * day.width() / kDaySeconds);
    };
    const int left = x(span.fromSeconds);
    const int right = std::max(x(span.toSeconds), left + kMinBarWidth);
    return QRect(left, day.top() + 3, right - left, day.height() - 6);
}

qsizetype StayTimeline::spanAt(const QPoint& pos) const {
    // The latest bar under the pointer: later stays are drawn on top.
    for (qsizetype i = m_spans.size() - 1; i >= 0; --i) {
        if (barRect(m_spans[i]).contains(pos)) {
            return i;
        }
    }
    return -1;
}

QString StayTimeline::tipAt(const QPoint& pos) const {
    const qsizetype i = spanAt(pos);
    if (i < 0) {
        return QString();
    }
    const InOutRow& row = m_spans[i].row;
    return QStringLiteral("In: %1\nOut: %2\nHrs/Mins: %3")
        .arg(row.in, row.out.trimmed(), row.length);
}

void StayTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QRect day = dayRect();
    painter.fillRect(day, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(day.adjusted(0, 0, -1, -1));

    // Hour marks: a short tick every hour, a long one and a label every three.
    QFont small = font();
    small.setPixelSize(10);
    painter.setFont(small);
    for (int hour = 0; hour <= 24; ++hour) {
        const int x = day.left() + hour * (day.width() - 1) / 24;
        const bool labelled = hour % 3 == 0;
        painter.setPen(palette().color(labelled ? QPalette::Dark : QPalette::Midlight));
        painter.drawLine(x, labelled ? day.top() : day.bottom() - 4, x, day.bottom());
        if (labelled) {
            const QString text = QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0'));
            QRect label(x - 12, day.bottom() + 2, 24, kLabelHeight);
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, text);
        }
    }

    for (const StaySpan& span : m_spans) {
        const QRect bar = barRect(span);
        const QColor colour = span.open ? kOpenColour : kClosedColour;
        painter.fillRect(bar, colour);
        painter.setPen(colour.darker(140));
        painter.drawRect(bar.adjusted(0, 0, -1, -1));
    }
}

bool StayTimeline::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const qsizetype i = spanAt(help->pos());
        if (i < 0) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tipAt(help->pos()), this, barRect(m_spans[i]));
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace tavrel
