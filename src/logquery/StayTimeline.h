#pragma once

#include <QList>
#include <QWidget>

#include "logquery/Stays.h"

namespace tavrel {

// A day of 24 hours with a bar for each stay of the selected row, and hour marks beneath.
// Hovering a bar shows its in, out and length.
class StayTimeline : public QWidget {
    Q_OBJECT
public:
    explicit StayTimeline(QWidget* parent = nullptr);

    void setSpans(const QList<StaySpan>& spans);
    const QList<StaySpan>& spans() const { return m_spans; }

    // The tool tip at a point of the widget: "" where there is no bar.
    QString tipAt(const QPoint& pos) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect dayRect() const;
    QRect barRect(const StaySpan& span) const;
    qsizetype spanAt(const QPoint& pos) const;

    QList<StaySpan> m_spans;
};

}  // namespace tavrel
