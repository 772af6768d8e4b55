#include "external/samba/SambaStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

namespace tavrel {

namespace {

// Samba writes pids and ids as strings, numbers as numbers; either is taken.
qint64 integerOf(const QJsonValue& value) {
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().toLongLong(&ok);
        return ok ? number : 0;
    }
    return value.isDouble() ? qint64(value.toDouble()) : 0;
}

qint64 pidOf(const QJsonObject& object) {
    return integerOf(
        object.value(QLatin1String("server_id")).toObject().value(QLatin1String("pid")));
}

// "ipv4:127.0.0.1:35004" -> "127.0.0.1"; other families give "".
QString ipv4Of(const QString& hostname) {
    const QStringList parts = hostname.split(QLatin1Char(':'));
    return parts.size() == 3 && parts.at(0) == QLatin1String("ipv4") ? parts.at(1) : QString();
}

bool flag(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toBool();
}

}  // namespace

std::optional<SambaStatus> parseSambaStatus(const QByteArray& json, QString* error) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not JSON (%1 at offset %2)")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    for (const char* key : {"sessions", "tcons", "open_files"}) {
        if (!root.value(QLatin1String(key)).isObject()) {
            *error = QStringLiteral("the answer has no \"%1\" object").arg(QLatin1String(key));
            return std::nullopt;
        }
    }

    SambaStatus status;
    const QJsonObject sessions = root.value(QLatin1String("sessions")).toObject();
    for (auto it = sessions.begin(); it != sessions.end(); ++it) {
        const QJsonObject s = it.value().toObject();
        SambaSession session;
        session.id = it.key();
        session.pid = pidOf(s);
        session.uid = uint(integerOf(s.value(QLatin1String("uid"))));
        session.gid = uint(integerOf(s.value(QLatin1String("gid"))));
        session.user = s.value(QLatin1String("username")).toString();
        session.machine = s.value(QLatin1String("remote_machine")).toString();
        session.address = ipv4Of(s.value(QLatin1String("hostname")).toString());
        status.sessions.append(session);
    }

    const QJsonObject tcons = root.value(QLatin1String("tcons")).toObject();
    for (const QJsonValue& value : tcons) {
        const QJsonObject t = value.toObject();
        SambaTreeConnect tcon;
        tcon.sessionId = t.value(QLatin1String("session_id")).toString();
        tcon.share = t.value(QLatin1String("service")).toString();
        tcon.connectedAt = QDateTime::fromString(t.value(QLatin1String("connected_at")).toString(),
                                                 Qt::ISODateWithMs);
        status.treeConnects.append(tcon);
    }

    // Byte-range locks name their file by path and their holder by pid only.
    QSet<QPair<QString, qint64>> lockHolders;
    const QJsonObject locks = root.value(QLatin1String("byte_range_locks")).toObject();
    for (auto it = locks.begin(); it != locks.end(); ++it) {
        for (const QJsonValue& lock :
             it.value().toObject().value(QLatin1String("locks")).toArray()) {
            lockHolders.insert({it.key(), pidOf(lock.toObject())});
        }
    }

    const QJsonObject files = root.value(QLatin1String("open_files")).toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QJsonObject file = it.value().toObject();
        const QJsonObject opens = file.value(QLatin1String("opens")).toObject();
        for (const QJsonValue& value : opens) {
            const QJsonObject o = value.toObject();
            const QJsonObject access = o.value(QLatin1String("access_mask")).toObject();
            const QJsonObject share = o.value(QLatin1String("sharemode")).toObject();
            SambaOpen open;
            open.sharePath = file.value(QLatin1String("service_path")).toString();
            open.fileName = file.value(QLatin1String("filename")).toString();
            open.pid = pidOf(o);
            open.uid = uint(integerOf(o.value(QLatin1String("uid"))));
            open.fileId = quint64(integerOf(o.value(QLatin1String("share_file_id"))));
            open.read = flag(access, "READ_DATA") || flag(access, "EXECUTE");
            open.write = flag(access, "WRITE_DATA") || flag(access, "APPEND_DATA");
            open.othersRead = flag(share, "READ");
            open.othersWrite = flag(share, "WRITE");
            open.locked = lockHolders.contains({it.key(), open.pid});
            status.opens.append(open);
        }
    }
    return status;
}

}  // namespace tavrel
