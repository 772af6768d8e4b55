#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace tavrel {

// The data control's bar below a result grid: first, previous, a caption, next, last.
class NavigatorBar : public QWidget {
    Q_OBJECT
public:
    explicit NavigatorBar(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const;

    QToolButton* cmdFirst;
    QToolButton* cmdPrevious;
    QToolButton* cmdNext;
    QToolButton* cmdLast;

signals:
    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();

private:
    QLabel* m_caption;
};

}  // namespace tavrel
