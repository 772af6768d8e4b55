#pragma once

#include <QString>

namespace tavrel {

// The program's name: window titles, message box titles, settings application name.
inline const QString kAppTitle = QStringLiteral("Tavrel");

}  // namespace tavrel
