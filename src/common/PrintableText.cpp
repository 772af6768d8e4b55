#include "common/PrintableText.h"

#include <algorithm>

namespace tavrel {

namespace {

bool isControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f);
}

}  // namespace

bool hasControlCharacters(QStringView text) {
    return std::any_of(text.begin(), text.end(), isControl);
}

QString printableText(QStringView text) {
    if (!hasControlCharacters(text)) {
        return text.toString();
    }
    QString result;
    result.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!isControl(c)) {
            result += c;
        } else if (c == QLatin1Char('\n')) {
            result += QLatin1String("\\n");
        } else if (c == QLatin1Char('\r')) {
            result += QLatin1String("\\r");
        } else if (c == QLatin1Char('\t')) {
            result += QLatin1String("\\t");
        } else {
            result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        }
    }
    return result;
}

}  // namespace tavrel
