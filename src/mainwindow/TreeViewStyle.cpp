#include "mainwindow/TreeViewStyle.h"

#include <QStyleOptionViewItem>

namespace tavrel {

namespace {

// A node's option as drawn when pictures are off: no picture and no room kept for one.
QStyleOptionViewItem withoutPicture(const QStyleOptionViewItem& option) {
    QStyleOptionViewItem item(option);
    item.features &= ~QStyleOptionViewItem::HasDecoration;
    item.icon = QIcon();
    item.decorationSize = QSize(0, 0);
    return item;
}

}  // namespace

// The Windows style is the one that draws tree lines; the rest of the window keeps the
// application's style.
TreeViewStyle::TreeViewStyle() : QProxyStyle(QStringLiteral("Windows")) {}

void TreeViewStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    if (element == PE_IndicatorBranch && !m_plusMinus && (option->state & State_Children)) {
        QStyleOption lines(*option);
        lines.state &= ~State_Children;
        QProxyStyle::drawPrimitive(element, &lines, painter, widget);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TreeViewStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    const auto* view = qstyleoption_cast<const QStyleOptionViewItem*>(option);
    if (element != CE_ItemViewItem || view == nullptr || (m_pictures && !m_hotTracking)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QStyleOptionViewItem item = m_pictures ? *view : withoutPicture(*view);
    if (m_hotTracking && (item.state & State_MouseOver) && !(item.state & State_Selected)) {
        item.font.setUnderline(true);
        item.palette.setColor(QPalette::Text, item.palette.color(QPalette::Link));
    }
    QProxyStyle::drawControl(element, &item, painter, widget);
}

QSize TreeViewStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                      const QSize& size, const QWidget* widget) const {
    const auto* view = qstyleoption_cast<const QStyleOptionViewItem*>(option);
    if (type == CT_ItemViewItem && view != nullptr && !m_pictures) {
        const QStyleOptionViewItem item = withoutPicture(*view);
        return QProxyStyle::sizeFromContents(type, &item, size, widget);
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

QRect TreeViewStyle::subElementRect(SubElement element, const QStyleOption* option,
                                    const QWidget* widget) const {
    const auto* view = qstyleoption_cast<const QStyleOptionViewItem*>(option);
    const bool itemElement = element == SE_ItemViewItemCheckIndicator ||
                             element == SE_ItemViewItemDecoration ||
                             element == SE_ItemViewItemText || element == SE_ItemViewItemFocusRect;
    if (!itemElement || view == nullptr) {
        return QProxyStyle::subElementRect(element, option, widget);
    }
    const QStyleOptionViewItem item = m_pictures ? *view : withoutPicture(*view);
    QRect rect = QProxyStyle::subElementRect(element, &item, widget);
    // Without full-row selection the highlight covers the node's label alone.
    if (element == SE_ItemViewItemText && !m_fullRowSelect && !item.text.isEmpty()) {
        const int margin = 2 * (pixelMetric(PM_FocusFrameHMargin, option, widget) + 1) + 1;
        rect.setWidth(qMin(rect.width(), item.fontMetrics.horizontalAdvance(item.text) + margin));
    }
    return rect;
}

int TreeViewStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const {
    if (hint == SH_ItemView_ShowDecorationSelected) {
        return m_fullRowSelect ? 1 : 0;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace tavrel
