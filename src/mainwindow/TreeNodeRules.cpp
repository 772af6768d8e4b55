#include "mainwindow/TreeNodeRules.h"

#include <limits>

namespace tavrel {

namespace {

// The number a text starts with, as the tags write them ("" or no digits: 0).
qint64 leadingNumber(const QString& text) {
    qint64 value = 0;
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() > 0x7f) {
            break;
        }
        value = value * 10 + c.digitValue();
        if (value > std::numeric_limits<qint32>::max()) {
            return 0;
        }
    }
    return value;
}

}  // namespace

int levelOfNode(const QString& tag, bool treeScanned, bool isFirstNode) {
    if (!tag.isEmpty()) {
        const QChar first = tag.at(0);
        return first.isDigit() && first.unicode() <= 0x7f ? first.digitValue() : 0;
    }
    if (treeScanned) {
        return 0;
    }
    return isFirstNode ? kRootLevel : kFileLevel;
}

qint16 fileNumberOfNode(const QString& tag, bool treeScanned, qsizetype position) {
    qint64 number = 0;
    if (!tag.isEmpty()) {
        number = leadingNumber(tag.mid(tag.lastIndexOf(QLatin1Char(',')) + 1));
    } else if (!treeScanned) {
        number = position - 1;
    }
    return number > 0 && number <= std::numeric_limits<qint16>::max() ? qint16(number) : 0;
}

QString nodePath(const QString& nodeText) {
    const qsizetype bracket = nodeText.indexOf(QLatin1Char('['));
    return bracket < 0 ? nodeText : nodeText.left(bracket);
}

QString nodeTrail(const QList<int>& levels, const QStringList& texts) {
    QStringList trail;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString& text = texts[i];
        switch (levels.value(i)) {
            case kFileLevel:
                trail.append(nodePath(text));
                break;
            case kDetailLevel:
                trail.append(text.section(QLatin1Char(':'), 0, 0));
                break;
            default:
                trail.append(text);
                break;
        }
    }
    return trail.join(QLatin1Char('\n'));
}

bool tickedBySelectAll(const QString& tag) {
    return !tag.startsWith(QLatin1Char('4'));
}

QList<qsizetype> fileGroupTicks(qsizetype selected, qsizetype count,
                                const std::function<int(qsizetype)>& levelAt) {
    QList<qsizetype> ticks;
    if (selected < 0 || selected >= count) {
        return ticks;
    }
    ticks.append(selected);
    for (qsizetype i = selected + 1; i < count; ++i) {
        const int level = levelAt(i);
        if (level == kFileLevel) {
            break;
        }
        if (level != kDetailLevel) {
            ticks.append(i);
        }
    }
    return ticks;
}

}  // namespace tavrel
