#include "common/SaveWhole.h"

#include <QSaveFile>

namespace tavrel {

bool writeWhole(QIODevice& out, QByteArrayView bytes, QString* error) {
    while (!bytes.isEmpty()) {
        const qint64 written = out.write(bytes.data(), bytes.size());
        if (written <= 0) {
            *error = out.errorString();
            return false;
        }
        bytes = bytes.sliced(written);
    }
    return true;
}

QString saveWhole(const QString& path, QByteArrayView bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    QString error;
    if (!writeWhole(file, bytes, &error)) {
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return QString();
}

}  // namespace tavrel
