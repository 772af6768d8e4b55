#pragma once

#include <QString>

namespace tavrel {

// True when the text holds a control character: C0 (tab and line breaks too), DEL or C1.
bool hasControlCharacters(QStringView text);

// The text as one-line-per-record output shows it: each control character written as an
// escape (\n, \r, \t, otherwise \x followed by two hex digits), everything else as it is,
// backslashes of drive paths included.
QString printableText(QStringView text);

}  // namespace tavrel
