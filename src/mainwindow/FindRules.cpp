#include "mainwindow/FindRules.h"

#include "mainwindow/TreeNodeRules.h"

namespace tavrel {

bool findMatches(const FindSettings& settings, int level, const QString& nodeText) {
    const bool files = settings.kind == FindSettings::Kind::Files;
    if (level != (files ? kFileLevel : kUserLevel)) {
        return false;
    }
    QString text = nodeText;
    if (files && text.endsWith(QLatin1Char(']'))) {
        text = text.left(text.indexOf(QLatin1Char('[')));
    }
    const QString target = settings.target.trimmed();
    const Qt::CaseSensitivity cs = settings.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return settings.partial ? text.contains(target, cs) : text.compare(target, cs) == 0;
}

qsizetype findNode(const FindSettings& settings, qsizetype from, qsizetype count,
                   const std::function<std::pair<int, QString>(qsizetype)>& nodeAt) {
    for (qsizetype i = std::max<qsizetype>(from, 0); i < count; ++i) {
        const auto [level, text] = nodeAt(i);
        if (findMatches(settings, level, text)) {
            return i;
        }
    }
    return -1;
}

bool findTextSearchable(const QString& text) {
    return !QString(text).remove(QLatin1Char(' ')).isEmpty();
}

QString findLabelFor(FindSettings::Kind kind) {
    return kind == FindSettings::Kind::Users ? QStringLiteral("User to find")
                                             : QStringLiteral("File to find");
}

}  // namespace tavrel
