#include "mainwindow/NodeTree.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "mainwindow/TreeViewStyle.h"

namespace tavrel {

namespace {

bool isAncestor(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item) {
    for (const QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) {
        if (p == ancestor) {
            return true;
        }
    }
    return false;
}

// Runs a base-class handler with a flag set, so selection changes it makes count as the
// user's.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& m_flag;
};

}  // namespace

NodeTree::NodeTree(QWidget* parent) : QTreeWidget(parent), m_style(new TreeViewStyle) {
    m_style->setParent(this);
    setStyle(m_style);
    setColumnCount(1);
    header()->hide();
    // The root shows its expand mark too, so a collapsed tree tells that it holds files.
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    viewport()->setAttribute(Qt::WA_Hover, true);
    connect(this, &QTreeWidget::currentItemChanged, this, &NodeTree::currentNodeChanged);
}

// The style is a child of the tree; the tree lets go of it before it goes.
NodeTree::~NodeTree() {
    setStyle(nullptr);
}

void NodeTree::setTreeStyle(TreeStyle style) {
    m_style->setPictures(styleShowsPictures(style));
    m_style->setPlusMinus(styleShowsPlusMinus(style));
    scheduleDelayedItemsLayout();
    viewport()->update();
}

TreeStyle NodeTree::treeStyle() const {
    return treeStyleFor(m_style->pictures(), m_style->plusMinus());
}

void NodeTree::setHotTracking(bool on) {
    m_style->setHotTracking(on);
    viewport()->update();
}

bool NodeTree::hotTracking() const {
    return m_style->hotTracking();
}

void NodeTree::setFullRowSelect(bool on) {
    m_style->setFullRowSelect(on);
    viewport()->update();
}

bool NodeTree::fullRowSelect() const {
    return m_style->fullRowSelect();
}

void NodeTree::setTicked(QTreeWidgetItem* item, bool ticked) {
    ++m_quiet;
    item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    --m_quiet;
}

bool NodeTree::ticked(const QTreeWidgetItem* item) {
    return item->checkState(0) == Qt::Checked;
}

void NodeTree::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(event->button());
    m_pressedItem = itemAt(event->position().toPoint());
    m_tickedSincePress = false;
    FlagGuard user(m_userSelecting);
    QTreeWidget::mousePressEvent(event);
}

void NodeTree::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    const bool onNode = item != nullptr && item == m_pressedItem && !m_tickedSincePress &&
                        visualItemRect(item).contains(pos);
    m_pressedItem = nullptr;
    if (!onNode) {
        return;
    }
    if (event->button() == Qt::RightButton) {
        setCurrentItem(item);
    }
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        emit nodeClick(item);
    }
}

void NodeTree::keyPressEvent(QKeyEvent* event) {
    FlagGuard user(m_userSelecting);
    QTreeWidget::keyPressEvent(event);
}

void NodeTree::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles) {
    QTreeWidget::dataChanged(topLeft, bottomRight, roles);
    if (m_quiet == 0 && topLeft == bottomRight && roles.contains(Qt::CheckStateRole)) {
        if (QTreeWidgetItem* item = itemFromIndex(topLeft)) {
            m_tickedSincePress = true;
            emit nodeCheck(item);
        }
    }
}

void NodeTree::currentNodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (!m_singleExpand || !m_userSelecting || current == nullptr) {
        return;
    }
    if (previous != nullptr && previous != current && !isAncestor(previous, current)) {
        previous->setExpanded(false);
    }
    current->setExpanded(true);
}

}  // namespace tavrel
