#pragma once

#include <QString>
#include <functional>

namespace tavrel {

// What the find window asks for; the defaults are the window's own before it is first
// opened.
struct FindSettings {
    enum class Kind { Files, Users } kind = Kind::Files;
    QString target;  // as typed; leading and trailing blanks do not count
    bool partial = true;
    bool caseSensitive = false;
    bool select = false;
};

// Whether the node matches: a files search tests file nodes (level 2) only, by their
// text without the scan's "[...]" suffix; a users search tests user nodes (level 3)
// only, by their whole text.
bool findMatches(const FindSettings& settings, int level, const QString& nodeText);

// The first position in [from, count) whose node matches, or -1. nodeAt gives a node's
// level and text.
qsizetype findNode(const FindSettings& settings, qsizetype from, qsizetype count,
                   const std::function<std::pair<int, QString>(qsizetype)>& nodeAt);

// Whether the Find button can be pressed for this text: it has more than blanks.
bool findTextSearchable(const QString& text);

// Texts of the find window.
QString findLabelFor(FindSettings::Kind kind);
inline const QString kFindingText = QStringLiteral("Finding...");
inline const QString kFoundText = QStringLiteral("Found");
inline const QString kNotFoundText = QStringLiteral("Not found");
// Find pressed while a scan rebuilds the tree.
inline const QString kScanRunningText = QStringLiteral("A scan is running");

}  // namespace tavrel
