#pragma once

#include <QString>

namespace tavrel::imagekey {

// Keys of the main window's image list: node images and the window icons of auto scan.
inline const QString kUser = QStringLiteral("user");
inline const QString kScan = QStringLiteral("scan");
inline const QString kVigil = QStringLiteral("vigil");
inline const QString kTree = QStringLiteral("tree");
inline const QString kFile = QStringLiteral("file");

}  // namespace tavrel::imagekey
