#include "logquery/NavigatorBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace tavrel {

namespace {

QToolButton* makeButton(QWidget* parent, Qt::ArrowType arrow, const QString& text,
                        const QString& tip) {
    auto* button = new QToolButton(parent);
    if (text.isEmpty()) {
        button->setArrowType(arrow);
    } else {
        button->setText(text);
    }
    button->setToolTip(tip);
    button->setAutoRaise(false);
    return button;
}

}  // namespace

NavigatorBar::NavigatorBar(QWidget* parent) : QWidget(parent) {
    cmdFirst = makeButton(this, Qt::NoArrow, QStringLiteral("|<"), QStringLiteral("First record"));
    cmdPrevious = makeButton(this, Qt::LeftArrow, QString(), QStringLiteral("Previous record"));
    cmdNext = makeButton(this, Qt::RightArrow, QString(), QStringLiteral("Next record"));
    cmdLast = makeButton(this, Qt::NoArrow, QStringLiteral(">|"), QStringLiteral("Last record"));
    m_caption = new QLabel(this);
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFrameShape(QFrame::StyledPanel);
    m_caption->setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(cmdFirst);
    layout->addWidget(cmdPrevious);
    layout->addWidget(m_caption, 1);
    layout->addWidget(cmdNext);
    layout->addWidget(cmdLast);
    connect(cmdFirst, &QToolButton::clicked, this, &NavigatorBar::moveFirst);
    connect(cmdPrevious, &QToolButton::clicked, this, &NavigatorBar::movePrevious);
    connect(cmdNext, &QToolButton::clicked, this, &NavigatorBar::moveNext);
    connect(cmdLast, &QToolButton::clicked, this, &NavigatorBar::moveLast);
}

void NavigatorBar::setCaption(const QString& caption) {
    m_caption->setText(caption);
}

QString NavigatorBar::caption() const {
    return m_caption->text();
}

}  // namespace tavrel
