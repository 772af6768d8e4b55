#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace tavrel {

// Levels of the main window's tree.
inline constexpr int kRootLevel = 1;
inline constexpr int kFileLevel = 2;
inline constexpr int kUserLevel = 3;
inline constexpr int kDetailLevel = 4;

// The level of a node: 1 root, 2 monitored file, 3 user, 4 detail line, 0 for a tag that
// names none. A tagged node is told by the first character of its tag. An untagged node
// is told by its place while no scan has completed (the nodes start-up loads carry no
// tags): the first node is the root, any other a file. Going by the tag whenever there is
// one keeps a stopped first scan's user nodes from passing for files.
int levelOfNode(const QString& tag, bool treeScanned, bool isFirstNode);

// The monitored file number (1-based) of a file node: the number after the last "," of
// its tag; for an untagged node before any completed scan, its position in node order
// (the root is position 1) minus 1. 0 when neither gives a number.
qint16 fileNumberOfNode(const QString& tag, bool treeScanned, qsizetype position);

// The path a file node names: its text before the first "[" (the scan's suffix), or the
// whole text when it has none.
QString nodePath(const QString& nodeText);

// A node's name that outlives the scan which rebuilds the tree, from the levels and texts
// of the nodes from the root down to it: a file is named by its path (its count or error
// may change), a user by the file and the user's name, a detail line by those and its
// label ("Task No"), whose value may change.
QString nodeTrail(const QList<int>& levels, const QStringList& texts);

// Whether "select all users" ticks a node: every node but the detail lines.
bool tickedBySelectAll(const QString& tag);

// The positions (0-based, node order) that "select all users of file" ticks for the node
// at selected: that node, then every node after it up to the next file node, detail lines
// left out. levelAt gives the level of the node at a position.
QList<qsizetype> fileGroupTicks(qsizetype selected, qsizetype count,
                                const std::function<int(qsizetype)>& levelAt);

}  // namespace tavrel
