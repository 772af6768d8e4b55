#pragma once

#include <QStatusBar>
#include <QStringList>

namespace tavrel {

// The main window's status line: the last message, followed by the problems of the last
// completed scan, which stay whatever the operator does until a scan completes without
// one. Cut with "…" to the line's width; the whole text is its tool tip.
class StatusLine : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    void setProblems(const QStringList& problems);
    const QStringList& problems() const { return m_problems; }
    // The whole text, as the tool tip holds it.
    QString text() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();

    QString m_message;
    QStringList m_problems;
};

}  // namespace tavrel
