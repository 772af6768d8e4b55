#pragma once

#include <QTreeWidget>

#include "mainwindow/TreeOptions.h"

namespace tavrel {

class TreeViewStyle;

// The main window's tree of files, users and detail lines: a check box on every node,
// independent of the others. It reports what the user does (a button pressed, a node
// clicked with either button, a node ticked or unticked), and draws itself in one of the
// four tree styles, with optional hot tracking, full-row selection and single-expand.
class NodeTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit NodeTree(QWidget* parent = nullptr);
    ~NodeTree() override;

    void setTreeStyle(TreeStyle style);
    TreeStyle treeStyle() const;
    void setHotTracking(bool on);
    bool hotTracking() const;
    void setFullRowSelect(bool on);
    bool fullRowSelect() const;
    // Selecting a node expands it and collapses the node selected before.
    void setSingleExpand(bool on) { m_singleExpand = on; }
    bool singleExpand() const { return m_singleExpand; }

    // Ticks or unticks a node without reporting it as the user's doing.
    void setTicked(QTreeWidgetItem* item, bool ticked);
    static bool ticked(const QTreeWidgetItem* item);

    // A node's place, which follows the node while others come and go and turns invalid
    // when the node is removed; nodeAt gives the node back (nullptr once it is gone).
    QPersistentModelIndex placeOf(const QTreeWidgetItem* item) const {
        return QPersistentModelIndex(indexFromItem(item));
    }
    QTreeWidgetItem* nodeAt(const QPersistentModelIndex& place) const {
        return place.isValid() ? itemFromIndex(place) : nullptr;
    }

signals:
    // A mouse button went down over the tree.
    void mouseDown(Qt::MouseButton button);
    // A node was clicked (pressed and released on it, not on its check box); it is the
    // selected node by then.
    void nodeClick(QTreeWidgetItem* node);
    // The user ticked or unticked a node's check box.
    void nodeCheck(QTreeWidgetItem* node);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

private:
    void currentNodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);

    TreeViewStyle* m_style;
    bool m_singleExpand = false;
    bool m_userSelecting = false;
    int m_quiet = 0;
    QTreeWidgetItem* m_pressedItem = nullptr;
    bool m_tickedSincePress = false;
};

}  // namespace tavrel
