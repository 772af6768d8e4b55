#include "external/netware/DosNames.h"

#include <QSet>

namespace tavrel {

namespace {

bool isRefused(QChar c) {
    static const QString refused = QStringLiteral("\"*+,/:;<=>?[\\]|");
    return c.unicode() < 0x20 || c.unicode() > 0x7e || refused.contains(c);
}

bool fitsPart(QStringView part, qsizetype maxLength) {
    if (part.size() > maxLength) {
        return false;
    }
    for (QChar c : part) {
        if (isRefused(c) || c == QLatin1Char(' ') || c == QLatin1Char('.')) {
            return false;
        }
    }
    return true;
}

// A name part with blanks and dots dropped and refused characters turned into "_".
QString cleaned(QStringView part) {
    QString text;
    for (QChar c : part) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('.')) {
            continue;
        }
        text += isRefused(c) ? QLatin1Char('_') : c.toUpper();
    }
    return text;
}

QString derivedName(const QString& name, int tail, const QSet<QString>& taken) {
    QString trimmed = name;
    while (trimmed.startsWith(QLatin1Char('.'))) {
        trimmed.remove(0, 1);
    }
    const qsizetype dot = trimmed.lastIndexOf(QLatin1Char('.'));
    QString stem = cleaned(dot < 0 ? QStringView(trimmed) : QStringView(trimmed).left(dot));
    const QString extension =
        dot < 0 ? QString() : cleaned(QStringView(trimmed).mid(dot + 1)).left(3);
    if (stem.isEmpty()) {
        stem = QStringLiteral("_");
    }
    for (int n = tail;; ++n) {
        const QString number = QLatin1Char('~') + QString::number(n);
        QString candidate = stem.left(8 - number.size()) + number;
        if (!extension.isEmpty()) {
            candidate += QLatin1Char('.') + extension;
        }
        if (!taken.contains(candidate)) {
            return candidate;
        }
    }
}

}  // namespace

bool fitsDosName(QStringView name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QStringView stem = dot < 0 ? name : name.left(dot);
    const QStringView extension = dot < 0 ? QStringView() : name.mid(dot + 1);
    return !stem.isEmpty() && fitsPart(stem, 8) && fitsPart(extension, 3) &&
           (dot < 0 || !extension.isEmpty());
}

QStringList dosNamesOf(const QStringList& names, const QStringList& given) {
    QStringList result;
    QSet<QString> taken;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString own = i < given.size() ? given.at(i) : QString();
        if (!own.isEmpty()) {
            result.append(own.toUpper());
        } else if (fitsDosName(names.at(i))) {
            result.append(names.at(i).toUpper());
        } else {
            result.append(QString());
        }
        if (!result.last().isEmpty()) {
            taken.insert(result.last());
        }
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (result.at(i).isEmpty()) {
            result[i] = derivedName(names.at(i), 1, taken);
            taken.insert(result.at(i));
        }
    }
    return result;
}

}  // namespace tavrel
