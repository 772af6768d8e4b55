#pragma once

#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace tavrel {

// Writes all of bytes to an unbuffered device, going on after a short write; false with
// the device's reason in *error when a write fails.
bool writeWhole(QIODevice& out, QByteArrayView bytes, QString* error);

// Replaces the file at path with bytes through a temporary file beside it, so a write
// that fails (a full disk, a size limit) leaves the old file as it was. Returns the
// system's reason when it could not be written, an empty text when it was.
//
// Written unbuffered: a buffered write that fails only in the final flush would still be
// renamed into place.
QString saveWhole(const QString& path, QByteArrayView bytes);

}  // namespace tavrel
