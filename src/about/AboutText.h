#pragma once

#include <QString>

namespace tavrel {

// The about box's description: "Tavrel 2.0", an empty line and the paragraph on what the
// program does, lines separated by CR LF.
QString aboutDescription(int majorVersion, int minorVersion);

// The FAQ file in the program's folder (appFolder ends in the separator).
QString faqPath(const QString& appFolder);

// Puts the FAQ supplied with the program into appFolder when no faq.fil is there; an
// existing file (perhaps edited by the site) is left alone. Returns its path, or "" with
// the reason in *problem when it could not be written.
QString ensureFaqFile(const QString& appFolder, QString* problem = nullptr);

}  // namespace tavrel
