#include "mainwindow/StatusLine.h"

#include <algorithm>

#include "monitor/ScanTexts.h"

namespace tavrel {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
}

void StatusLine::setMessage(const QString& message) {
    m_message = message;
    refresh();
}

void StatusLine::setProblems(const QStringList& problems) {
    m_problems = problems;
    refresh();
}

QString StatusLine::text() const {
    return withProblems(m_message, m_problems);
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    refresh();
}

void StatusLine::refresh() {
    const QString whole = text();
    // The message's place: the bar less the margins the bar keeps around it.
    const int room = std::max(0, width() - 12);
    const QString shown = fontMetrics().elidedText(whole, Qt::ElideRight, room);
    showMessage(shown);
    setToolTip(shown != whole || !m_problems.isEmpty() ? whole : QString());
}

}  // namespace tavrel
