#include "external/netware/VolumePath.h"

#include <algorithm>

namespace tavrel {

namespace {

bool isSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// QString::toUpper, without its Unicode tables for plain ASCII (nearly every path): a scan
// looks up tens of thousands of keys.
QString upperCased(QString text) {
    const auto begin = reinterpret_cast<const char16_t*>(text.constData());
    const auto end = begin + text.size();
    if (std::any_of(begin, end, [](char16_t c) { return c >= 0x80; })) {
        return std::move(text).toUpper();
    }
    if (std::none_of(begin, end, [](char16_t c) { return c >= u'a' && c <= u'z'; })) {
        return text;
    }
    for (QChar& c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(c.unicode() - (u'a' - u'A'));
        }
    }
    return text;
}

}  // namespace

std::optional<VolumePath> parseVolumePath(QStringView text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        return std::nullopt;
    }
    QStringView head = text.left(colon);
    while (!head.isEmpty() && isSeparator(head.front())) {
        head = head.mid(1);  // \\FS1\SYS: names the server as a share would
    }
    VolumePath path;
    qsizetype separator = -1;
    for (qsizetype i = head.size() - 1; i >= 0; --i) {
        if (isSeparator(head.at(i))) {
            separator = i;
            break;
        }
    }
    if (separator >= 0) {
        path.server = head.left(separator).toString();
        if (!isPlainName(path.server)) {
            return std::nullopt;
        }
        head = head.mid(separator + 1);
    }
    if (head.size() < 2 || !isPlainName(head)) {
        return std::nullopt;
    }
    path.volume = head.toString();
    if (!splitPathComponents(text.mid(colon + 1), &path.components)) {
        return std::nullopt;
    }
    return path;
}

QString joinComponents(const QStringList& components) {
    return components.join(QLatin1Char('\\'));
}

QString volumePathKey(const QString& volume, const QStringList& components) {
    QString key = volume;
    key += QLatin1Char(':');
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (i > 0) {
            key += QLatin1Char('\\');
        }
        key += components.at(i);
    }
    return upperCased(std::move(key));
}

QString VolumePath::text() const {
    return volume + QLatin1Char(':') + joinComponents(components);
}

QString VolumePath::key() const {
    return volumePathKey(volume, components);
}

bool isPlainName(QStringView name) {
    if (name.isEmpty()) {
        return false;
    }
    for (QChar c : name) {
        if (isSeparator(c) || c == QLatin1Char(':') || c.unicode() == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace tavrel
