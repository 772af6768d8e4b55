#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

#include "common/DriveMap.h"

namespace tavrel {

// A path on a server volume: SYS:APPS\ORDERS.DBF, or FS1\SYS:APPS\ORDERS.DBF with its
// server named. Components keep the case they were given.
struct VolumePath {
    QString server;  // "" when the text named none
    QString volume;
    QStringList components;

    // VOL:DIR\FILE, or VOL: for the volume's root.
    QString text() const;
    // The upper-cased text: how paths on a volume are compared.
    QString key() const;
};

// Reads VOL:PATH or SERVER\VOL:PATH. A single letter before the colon is a drive letter,
// not a volume: such text (and text without a colon) gives nothing.
std::optional<VolumePath> parseVolumePath(QStringView text);

// The components joined with "\".
QString joinComponents(const QStringList& components);

// The upper-cased VOL:DIR\FILE of a volume and components.
QString volumePathKey(const QString& volume, const QStringList& components);

// True for a name a server, volume or object may carry: not empty, no separators,
// colons or NULs.
bool isPlainName(QStringView name);

}  // namespace tavrel
