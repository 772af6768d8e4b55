#include "external/netware/SiteJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "common/DriveMap.h"
#include "external/netware/DosNames.h"
#include "external/netware/NetWareCallNames.h"
#include "external/netware/NetWareRecords.h"
#include "external/netware/VolumePath.h"

namespace tavrel {

namespace {

// ---- reading ------------------------------------------------------------------------

QString at(const QString& where, const char* key) {
    return where.isEmpty() ? QLatin1String(key) : where + QLatin1Char('.') + QLatin1String(key);
}

QString item(const QString& where, const char* key, qsizetype index) {
    return at(where, key) + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QString describe(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Null:
            return QStringLiteral("null");
        case QJsonValue::Bool:
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Double:
            return QString::number(value.toDouble(), 'g', 17);
        case QJsonValue::String:
            return QLatin1Char('"') + value.toString() + QLatin1Char('"');
        case QJsonValue::Array:
            return QStringLiteral("a list");
        case QJsonValue::Object:
            return QStringLiteral("an object");
        case QJsonValue::Undefined:
            break;
    }
    return QStringLiteral("nothing");
}

std::optional<qint64> integerOf(const QJsonValue& value) {
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::floor(number) != number || std::fabs(number) > 9.0e15) {
            return std::nullopt;
        }
        return qint64(number);
    }
    if (value.isString()) {
        const QString text = value.toString().trimmed();
        bool ok = false;
        qint64 number = 0;
        if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
            number = text.mid(2).toLongLong(&ok, 16);
        } else {
            number = text.toLongLong(&ok, 10);
        }
        if (ok) {
            return number;
        }
    }
    return std::nullopt;
}

// A date-time as the site file writes it: 2003-06-09T08:05:00 (a blank may stand for the
// T, seconds may be left out, a date alone is midnight). Kept as a wall-clock value.
std::optional<QDateTime> wallClockOf(const QString& text) {
    const QString trimmed = text.trimmed();
    const QDate date = QDate::fromString(trimmed.left(10), Qt::ISODate);
    if (!date.isValid()) {
        return std::nullopt;
    }
    QTime time(0, 0);
    if (trimmed.size() > 10) {
        const QChar separator = trimmed.at(10);
        if (separator != QLatin1Char('T') && separator != QLatin1Char(' ')) {
            return std::nullopt;
        }
        time = QTime::fromString(trimmed.mid(11), Qt::ISODate);
        if (!time.isValid()) {
            return std::nullopt;
        }
    }
    return QDateTime(date, time, Qt::UTC);
}

class Reader {
public:
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    bool fail(const QString& where, const QString& what) {
        if (m_error.isEmpty()) {
            m_error = where.isEmpty() ? what : where + QStringLiteral(": ") + what;
        }
        return false;
    }

    bool object(const QJsonValue& value, const QString& where, QJsonObject* out) {
        if (!value.isObject()) {
            return fail(where,
                        QStringLiteral("expected an object { ... }, got ") + describe(value));
        }
        *out = value.toObject();
        return true;
    }

    bool keys(const QJsonObject& object, const QString& where,
              std::initializer_list<const char*> known) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool found = false;
            for (const char* key : known) {
                found = found || it.key() == QLatin1String(key);
            }
            if (!found) {
                QStringList names;
                for (const char* key : known) {
                    names.append(QLatin1String(key));
                }
                return fail(where, QStringLiteral("unknown key \"%1\" (known here: %2)")
                                       .arg(it.key(), names.join(QStringLiteral(", "))));
            }
        }
        return true;
    }

    // A missing list is an empty one.
    bool array(const QJsonObject& object, const char* key, const QString& where, QJsonArray* out) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined()) {
            *out = QJsonArray();
            return true;
        }
        if (!value.isArray()) {
            return fail(at(where, key),
                        QStringLiteral("expected a list [ ... ], got ") + describe(value));
        }
        *out = value.toArray();
        return true;
    }

    bool text(const QJsonObject& object, const char* key, const QString& where, QString* out,
              bool required) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined() && !required) {
            return true;
        }
        if (!value.isString()) {
            return fail(at(where, key), QStringLiteral("expected a text, got ") + describe(value));
        }
        *out = value.toString();
        return true;
    }

    template <typename T>
    bool integer(const QJsonObject& object, const char* key, const QString& where, T* out,
                 bool required, qint64 min = std::numeric_limits<T>::min(),
                 qint64 max = std::numeric_limits<T>::max()) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined() && !required) {
            return true;
        }
        const std::optional<qint64> number = integerOf(value);
        if (!number || *number < min || *number > max) {
            return fail(at(where, key), QStringLiteral("expected a whole number from %1 to %2 "
                                                       "(decimal, or text such as \"0x1F\"), got ")
                                                .arg(min)
                                                .arg(max) +
                                            describe(value));
        }
        *out = T(*number);
        return true;
    }

    bool boolean(const QJsonObject& object, const char* key, const QString& where, bool* out) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined()) {
            return true;
        }
        if (!value.isBool()) {
            return fail(at(where, key),
                        QStringLiteral("expected true or false, got ") + describe(value));
        }
        *out = value.toBool();
        return true;
    }

    bool dateTime(const QJsonObject& object, const char* key, const QString& where, QDateTime* out,
                  bool required) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined() && !required) {
            return true;
        }
        const std::optional<QDateTime> parsed =
            value.isString() ? wallClockOf(value.toString()) : std::nullopt;
        if (!parsed) {
            return fail(at(where, key), QStringLiteral("expected a date and time such as "
                                                       "\"2003-06-09T08:05:00\", got ") +
                                            describe(value));
        }
        *out = *parsed;
        return true;
    }

    bool date(const QJsonObject& object, const char* key, const QString& where, QDate* out) {
        QDateTime value;
        if (!dateTime(object, key, where, &value, false)) {
            return false;
        }
        *out = value.date();
        return true;
    }

    // N bytes: a list of N numbers, 2N hexadecimal digits (":" or "-" may separate
    // them), or for a 4-byte network address dotted decimals (10.1.2.3).
    template <std::size_t N>
    bool bytes(const QJsonObject& object, const char* key, const QString& where,
               std::array<quint8, N>* out) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined()) {
            return true;
        }
        std::array<quint8, N> result{};
        bool ok = false;
        if (value.isArray()) {
            const QJsonArray list = value.toArray();
            ok = list.size() == qsizetype(N);
            for (qsizetype i = 0; ok && i < list.size(); ++i) {
                const std::optional<qint64> byte = integerOf(list.at(i));
                ok = byte && *byte >= 0 && *byte <= 255;
                result[i] = ok ? quint8(*byte) : 0;
            }
        } else if (value.isString()) {
            ok = bytesOfText<N>(value.toString(), &result);
        }
        if (!ok) {
            QString expected = QStringLiteral(
                                   "expected %1 bytes: a list of %1 numbers from 0 to 255 or %2 "
                                   "hexadecimal digits")
                                   .arg(N)
                                   .arg(2 * N);
            if (N == 4) {
                expected += QStringLiteral(" or dotted decimals such as \"10.1.2.3\"");
            }
            return fail(at(where, key), expected + QStringLiteral(", got ") + describe(value));
        }
        *out = result;
        return true;
    }

private:
    template <std::size_t N>
    static bool bytesOfText(const QString& text, std::array<quint8, N>* out) {
        if (N == 4 && text.contains(QLatin1Char('.'))) {
            const QStringList parts = text.split(QLatin1Char('.'));
            if (parts.size() != 4) {
                return false;
            }
            for (qsizetype i = 0; i < 4; ++i) {
                bool ok = false;
                const uint byte = parts.at(i).toUInt(&ok, 10);
                if (!ok || byte > 255) {
                    return false;
                }
                (*out)[i] = quint8(byte);
            }
            return true;
        }
        QString digits = text;
        digits.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
        if (digits.size() != qsizetype(2 * N)) {
            return false;
        }
        for (std::size_t i = 0; i < N; ++i) {
            bool ok = false;
            const uint byte = digits.mid(qsizetype(2 * i), 2).toUInt(&ok, 16);
            if (!ok) {
                return false;
            }
            (*out)[i] = quint8(byte);
        }
        return true;
    }

    QString m_error;
};

bool readAddress(Reader& r, const QJsonObject& connection, const QString& where,
                 SiteAddress* address) {
    const QJsonValue value = connection.value(QLatin1String("address"));
    if (value.isUndefined()) {
        return true;
    }
    const QString w = at(where, "address");
    QJsonObject o;
    if (!r.object(value, w, &o) || !r.keys(o, w, {"type", "net", "node", "socket"})) {
        return false;
    }
    const QJsonValue type = o.value(QLatin1String("type"));
    const QString typeName = type.toString().toUpper();
    if (typeName == QLatin1String("IPX")) {
        address->type = nwconntype::kIpx;
    } else if (typeName == QLatin1String("AFP")) {
        address->type = nwconntype::kAfp;
    } else if (typeName == QLatin1String("IP")) {
        address->type = nwconntype::kIp;
    } else if (!integerOf(type) || *integerOf(type) < 0 || *integerOf(type) > 255) {
        return r.fail(at(w, "type"), QStringLiteral("expected \"IPX\", \"AFP\", \"IP\" or a "
                                                    "number from 0 to 255, got ") +
                                         describe(type));
    } else {
        address->type = quint8(*integerOf(type));
    }
    return r.bytes(o, "net", w, &address->net) && r.bytes(o, "node", w, &address->node) &&
           r.bytes(o, "socket", w, &address->socket);
}

bool readServer(Reader& r, const QJsonValue& value, const QString& w, SiteServer* server) {
    QJsonObject o;
    if (!r.object(value, w, &o) ||
        !r.keys(o, w,
                {"name", "version", "volumes", "objects", "connections", "openFiles", "trustees",
                 "files"}) ||
        !r.text(o, "name", w, &server->name, true) ||
        !r.integer(o, "version", w, &server->version, true, 1, 255)) {
        return false;
    }
    QJsonArray list;
    if (!r.array(o, "volumes", w, &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(w, "volumes", i);
        QJsonObject e;
        SiteVolume volume;
        if (!r.object(list.at(i), iw, &e) || !r.keys(e, iw, {"name", "number", "root"}) ||
            !r.text(e, "name", iw, &volume.name, true) ||
            !r.integer(e, "number", iw, &volume.number, true) ||
            !r.text(e, "root", iw, &volume.root, false)) {
            return false;
        }
        server->volumes.append(volume);
    }
    if (!r.array(o, "objects", w, &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(w, "objects", i);
        QJsonObject e;
        SiteObject object;
        if (!r.object(list.at(i), iw, &e) || !r.keys(e, iw, {"id", "name", "type", "dsName"}) ||
            !r.integer(e, "id", iw, &object.id, true) ||
            !r.text(e, "name", iw, &object.name, true) ||
            !r.integer(e, "type", iw, &object.type, false) ||
            !r.text(e, "dsName", iw, &object.dsName, false)) {
            return false;
        }
        server->objects.append(object);
    }
    if (!r.array(o, "connections", w, &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(w, "connections", i);
        QJsonObject e;
        SiteConnection connection;
        if (!r.object(list.at(i), iw, &e) ||
            !r.keys(e, iw, {"number", "object", "loginTime", "address", "acceptsMessages"}) ||
            !r.integer(e, "number", iw, &connection.number, true) ||
            !r.integer(e, "object", iw, &connection.object, true) ||
            !r.dateTime(e, "loginTime", iw, &connection.loginTime, false) ||
            !readAddress(r, e, iw, &connection.address) ||
            !r.boolean(e, "acceptsMessages", iw, &connection.acceptsMessages)) {
            return false;
        }
        server->connections.append(connection);
    }
    if (!r.array(o, "openFiles", w, &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(w, "openFiles", i);
        QJsonObject e;
        SiteOpenFile open;
        if (!r.object(list.at(i), iw, &e) ||
            !r.keys(e, iw, {"connection", "path", "task", "lockType", "accessControl", "locked"}) ||
            !r.integer(e, "connection", iw, &open.connection, true) ||
            !r.text(e, "path", iw, &open.path, true) ||
            !r.integer(e, "task", iw, &open.task, false) ||
            !r.integer(e, "lockType", iw, &open.lockType, false) ||
            !r.integer(e, "accessControl", iw, &open.accessControl, false) ||
            !r.boolean(e, "locked", iw, &open.locked)) {
            return false;
        }
        server->openFiles.append(open);
    }
    if (!r.array(o, "trustees", w, &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(w, "trustees", i);
        QJsonObject e;
        SiteTrustee trustee;
        if (!r.object(list.at(i), iw, &e) || !r.keys(e, iw, {"path", "object", "rights"}) ||
            !r.text(e, "path", iw, &trustee.path, true) ||
            !r.integer(e, "object", iw, &trustee.object, true) ||
            !r.integer(e, "rights", iw, &trustee.rights, true)) {
            return false;
        }
        server->trustees.append(trustee);
    }
    if (!r.array(o, "files", w, &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(w, "files", i);
        QJsonObject e;
        SiteFileRecord file;
        quint32 attributes = 0;
        if (!r.object(list.at(i), iw, &e) ||
            !r.keys(e, iw,
                    {"path", "dosName", "attributes", "owner", "archiver", "modifier", "created",
                     "accessed", "archived", "modified"}) ||
            !r.text(e, "path", iw, &file.path, true) ||
            !r.text(e, "dosName", iw, &file.dosName, false) ||
            !r.integer(e, "attributes", iw, &attributes, false) ||
            !r.integer(e, "owner", iw, &file.owner, false) ||
            !r.integer(e, "archiver", iw, &file.archiver, false) ||
            !r.integer(e, "modifier", iw, &file.modifier, false) ||
            !r.dateTime(e, "created", iw, &file.created, false) ||
            !r.date(e, "accessed", iw, &file.accessed) ||
            !r.dateTime(e, "archived", iw, &file.archived, false) ||
            !r.dateTime(e, "modified", iw, &file.modified, false)) {
            return false;
        }
        if (e.contains(QLatin1String("attributes"))) {
            file.attributes = attributes;
        }
        server->files.append(file);
    }
    return true;
}

bool readSite(Reader& r, const QJsonObject& o, NetWareSite* site) {
    if (!r.keys(o, QString(), {"servers", "drives", "faults", "messages", "workstation"})) {
        return false;
    }
    QJsonArray list;
    if (!r.array(o, "servers", QString(), &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        SiteServer server;
        if (!readServer(r, list.at(i), item(QString(), "servers", i), &server)) {
            return false;
        }
        site->servers.append(server);
    }
    if (!r.array(o, "drives", QString(), &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(QString(), "drives", i);
        QJsonObject e;
        SiteDrive drive;
        QString letter;
        if (!r.object(list.at(i), iw, &e) ||
            !r.keys(e, iw, {"letter", "server", "volume", "path", "local"}) ||
            !r.text(e, "letter", iw, &letter, true) ||
            !r.text(e, "server", iw, &drive.server, false) ||
            !r.text(e, "volume", iw, &drive.volume, false) ||
            !r.text(e, "path", iw, &drive.path, false) ||
            !r.text(e, "local", iw, &drive.local, false)) {
            return false;
        }
        if (letter.endsWith(QLatin1Char(':'))) {
            letter.chop(1);
        }
        if (letter.size() != 1 || letter.at(0).toUpper() < QLatin1Char('A') ||
            letter.at(0).toUpper() > QLatin1Char('Z')) {
            return r.fail(at(iw, "letter"),
                          QStringLiteral("expected a drive letter A to Z, got \"%1\"").arg(letter));
        }
        drive.letter = letter.at(0).toUpper();
        site->drives.append(drive);
    }
    if (!r.array(o, "faults", QString(), &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(QString(), "faults", i);
        QJsonObject e;
        SiteFault fault;
        quint16 connection = 0;
        if (!r.object(list.at(i), iw, &e) ||
            !r.keys(e, iw, {"call", "code", "path", "connection", "server"}) ||
            !r.text(e, "call", iw, &fault.call, true) ||
            !r.integer(e, "code", iw, &fault.code, true) ||
            !r.text(e, "path", iw, &fault.path, false) ||
            !r.integer(e, "connection", iw, &connection, false, 1) ||
            !r.text(e, "server", iw, &fault.server, false)) {
            return false;
        }
        if (e.contains(QLatin1String("connection"))) {
            fault.connection = connection;
        }
        site->faults.append(fault);
    }
    if (!r.array(o, "messages", QString(), &list)) {
        return false;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString iw = item(QString(), "messages", i);
        QJsonObject e;
        SiteMessage message;
        if (!r.object(list.at(i), iw, &e) ||
            !r.keys(e, iw, {"server", "connection", "time", "text"}) ||
            !r.text(e, "server", iw, &message.server, true) ||
            !r.integer(e, "connection", iw, &message.connection, true) ||
            !r.dateTime(e, "time", iw, &message.time, false) ||
            !r.text(e, "text", iw, &message.text, true)) {
            return false;
        }
        site->messages.append(message);
    }
    const QJsonValue workstation = o.value(QLatin1String("workstation"));
    if (!workstation.isUndefined()) {
        const QString w = QStringLiteral("workstation");
        QJsonObject wo;
        if (!r.object(workstation, w, &wo) || !r.keys(wo, w, {"connections"}) ||
            !r.array(wo, "connections", w, &list)) {
            return false;
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString iw = item(w, "connections", i);
            QJsonObject e;
            SiteWorkstationConnection connection;
            if (!r.object(list.at(i), iw, &e) || !r.keys(e, iw, {"server", "number"}) ||
                !r.text(e, "server", iw, &connection.server, true) ||
                !r.integer(e, "number", iw, &connection.number, true)) {
                return false;
            }
            site->workstation.append(connection);
        }
    }
    return true;
}

// ---- checking -----------------------------------------------------------------------

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// "" when the path is a volume path on this server.
QString pathProblem(const SiteServer& server, const QSet<QString>& volumes, const QString& path) {
    const std::optional<VolumePath> parsed = parseVolumePath(path);
    if (!parsed) {
        return quoted(path) + QStringLiteral(" is not a volume path such as SYS:APPS\\ORDERS.DBF");
    }
    if (!parsed->server.isEmpty() && parsed->server.compare(server.name, Qt::CaseInsensitive)) {
        return quoted(path) +
               QStringLiteral(" names server %1, not %2").arg(parsed->server, server.name);
    }
    if (!volumes.contains(parsed->volume.toUpper())) {
        return QStringLiteral("%1 has no volume %2").arg(server.name, parsed->volume);
    }
    return QString();
}

const SiteServer* serverNamed(const NetWareSite& site, const QString& name) {
    for (const SiteServer& server : site.servers) {
        if (server.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &server;
        }
    }
    return nullptr;
}

QString checkServer(const SiteServer& server, const QString& w) {
    const auto fail = [](const QString& where, const QString& what) {
        return where + QStringLiteral(": ") + what;
    };
    if (server.version < 1 || server.version > 255) {
        return fail(at(w, "version"), QStringLiteral("expected a version from 1 to 255"));
    }
    QSet<QString> volumeNames;
    QSet<quint16> volumeNumbers;
    for (qsizetype i = 0; i < server.volumes.size(); ++i) {
        const SiteVolume& volume = server.volumes.at(i);
        const QString iw = item(w, "volumes", i);
        if (!isPlainName(volume.name) || volume.name.size() < 2) {
            return fail(iw, QStringLiteral("volume name %1 must have two characters or more "
                                           "and no \\, / or :")
                                .arg(quoted(volume.name)));
        }
        if (volumeNames.contains(volume.name.toUpper())) {
            return fail(
                iw, QStringLiteral("volume %1 appears twice on %2").arg(volume.name, server.name));
        }
        if (volumeNumbers.contains(volume.number)) {
            return fail(iw, QStringLiteral("volume number %1 is used twice on %2")
                                .arg(volume.number)
                                .arg(server.name));
        }
        volumeNames.insert(volume.name.toUpper());
        volumeNumbers.insert(volume.number);
    }
    QSet<quint32> ids;
    QSet<QString> names;
    QSet<QString> dsNames;
    for (qsizetype i = 0; i < server.objects.size(); ++i) {
        const SiteObject& object = server.objects.at(i);
        const QString iw = item(w, "objects", i);
        if (object.id == 0) {
            return fail(iw, QStringLiteral("object ID 0 is not allowed"));
        }
        if (ids.contains(object.id)) {
            return fail(iw, QStringLiteral("object ID 0x%1 is used twice on %2")
                                .arg(object.id, 8, 16, QLatin1Char('0'))
                                .arg(server.name));
        }
        if (object.name.isEmpty()) {
            return fail(iw, QStringLiteral("an object needs a name"));
        }
        if (object.name.contains(QChar(0))) {
            return fail(iw, QStringLiteral("an object name may not hold a NUL character"));
        }
        if (names.contains(object.name.toUpper())) {
            return fail(
                iw,
                QStringLiteral("object name %1 is used twice on %2").arg(object.name, server.name));
        }
        if (!object.dsName.isEmpty() && dsNames.contains(object.dsName.toUpper())) {
            return fail(iw, QStringLiteral("directory name %1 is used twice on %2")
                                .arg(object.dsName, server.name));
        }
        ids.insert(object.id);
        names.insert(object.name.toUpper());
        if (!object.dsName.isEmpty()) {
            dsNames.insert(object.dsName.toUpper());
        }
    }
    QSet<quint16> numbers;
    for (qsizetype i = 0; i < server.connections.size(); ++i) {
        const SiteConnection& connection = server.connections.at(i);
        const QString iw = item(w, "connections", i);
        if (connection.number == 0) {
            return fail(iw, QStringLiteral("connection number 0 is not allowed"));
        }
        if (numbers.contains(connection.number)) {
            return fail(iw, QStringLiteral("connection number %1 is used twice on %2")
                                .arg(connection.number)
                                .arg(server.name));
        }
        if (!ids.contains(connection.object)) {
            return fail(iw, QStringLiteral("%1 has no object with ID 0x%2")
                                .arg(server.name)
                                .arg(connection.object, 8, 16, QLatin1Char('0')));
        }
        if (connection.loginTime.isValid() && (connection.loginTime.date().year() < 1900 ||
                                               connection.loginTime.date().year() > 1900 + 255)) {
            return fail(at(iw, "loginTime"),
                        QStringLiteral("a login time must lie between 1900 and 2155"));
        }
        numbers.insert(connection.number);
    }
    for (qsizetype i = 0; i < server.openFiles.size(); ++i) {
        const SiteOpenFile& open = server.openFiles.at(i);
        const QString iw = item(w, "openFiles", i);
        if (!numbers.contains(open.connection)) {
            return fail(
                iw,
                QStringLiteral("%1 has no connection %2").arg(server.name).arg(open.connection));
        }
        const QString problem = pathProblem(server, volumeNames, open.path);
        if (!problem.isEmpty()) {
            return fail(at(iw, "path"), problem);
        }
    }
    for (qsizetype i = 0; i < server.trustees.size(); ++i) {
        const SiteTrustee& trustee = server.trustees.at(i);
        const QString iw = item(w, "trustees", i);
        const QString problem = pathProblem(server, volumeNames, trustee.path);
        if (!problem.isEmpty()) {
            return fail(at(iw, "path"), problem);
        }
        if (!ids.contains(trustee.object)) {
            return fail(iw, QStringLiteral("%1 has no object with ID 0x%2")
                                .arg(server.name)
                                .arg(trustee.object, 8, 16, QLatin1Char('0')));
        }
    }
    for (qsizetype i = 0; i < server.files.size(); ++i) {
        const SiteFileRecord& file = server.files.at(i);
        const QString iw = item(w, "files", i);
        const QString problem = pathProblem(server, volumeNames, file.path);
        if (!problem.isEmpty()) {
            return fail(at(iw, "path"), problem);
        }
        if (!file.dosName.isEmpty() && !fitsDosName(file.dosName)) {
            return fail(at(iw, "dosName"),
                        quoted(file.dosName) + QStringLiteral(" is not an 8.3 name"));
        }
    }
    return QString();
}

}  // namespace

QString checkSite(const NetWareSite& site) {
    QSet<QString> serverNames;
    for (qsizetype i = 0; i < site.servers.size(); ++i) {
        const SiteServer& server = site.servers.at(i);
        const QString w = item(QString(), "servers", i);
        if (!isPlainName(server.name)) {
            return at(w, "name") + QStringLiteral(
                                       ": server name %1 must not be empty or hold "
                                       "\\, / or :")
                                       .arg(quoted(server.name));
        }
        if (serverNames.contains(server.name.toUpper())) {
            return w + QStringLiteral(": server %1 appears twice").arg(server.name);
        }
        serverNames.insert(server.name.toUpper());
        const QString problem = checkServer(server, w);
        if (!problem.isEmpty()) {
            return problem;
        }
    }
    QSet<QChar> letters;
    for (qsizetype i = 0; i < site.drives.size(); ++i) {
        const SiteDrive& drive = site.drives.at(i);
        const QString w = item(QString(), "drives", i);
        const QChar letter = drive.letter.toUpper();
        if (letter < QLatin1Char('A') || letter > QLatin1Char('Z')) {
            return w + QStringLiteral(": expected a drive letter A to Z");
        }
        if (letters.contains(letter)) {
            return w + QStringLiteral(": drive %1: is mapped twice").arg(letter);
        }
        letters.insert(letter);
        if (drive.isNetwork() == !drive.local.isEmpty()) {
            return w + QStringLiteral(
                           ": drive %1: needs either a server and volume or a "
                           "local folder")
                           .arg(letter);
        }
        if (!drive.isNetwork()) {
            continue;
        }
        const SiteServer* server = serverNamed(site, drive.server);
        if (server == nullptr) {
            return at(w, "server") +
                   QStringLiteral(": drive %1: names server %2, which the site does not have")
                       .arg(letter)
                       .arg(drive.server);
        }
        bool hasVolume = false;
        for (const SiteVolume& volume : server->volumes) {
            hasVolume = hasVolume || volume.name.compare(drive.volume, Qt::CaseInsensitive) == 0;
        }
        if (!hasVolume) {
            return at(w, "volume") + QStringLiteral(": drive %1: %2 has no volume %3")
                                         .arg(letter)
                                         .arg(server->name, quoted(drive.volume));
        }
        QStringList components;
        if (!splitPathComponents(drive.path, &components)) {
            return at(w, "path") + QStringLiteral(": drive %1: path %2 climbs above the volume")
                                       .arg(letter)
                                       .arg(quoted(drive.path));
        }
    }
    for (qsizetype i = 0; i < site.faults.size(); ++i) {
        const SiteFault& fault = site.faults.at(i);
        const QString w = item(QString(), "faults", i);
        const NetWareCallName* call = findNetWareCall(fault.call);
        if (call == nullptr) {
            return at(w, "call") + QStringLiteral(": %1 is not a NetWare call of the client")
                                       .arg(quoted(fault.call));
        }
        if (fault.code == 0) {
            return at(w, "code") + QStringLiteral(": a fault needs a non-zero code");
        }
        if (!fault.path.isEmpty()) {
            QChar letter;
            QStringList components;
            if (!call->takesPath) {
                return at(w, "path") + QStringLiteral(": %1 takes no path").arg(call->name);
            }
            if (!splitDosPath(fault.path, &letter, &components) && !parseVolumePath(fault.path)) {
                return at(w, "path") + QStringLiteral(
                                           ": %1 is neither a drive-letter path nor "
                                           "a volume path")
                                           .arg(quoted(fault.path));
            }
        }
        if (fault.connection && !call->takesConnection) {
            return at(w, "connection") +
                   QStringLiteral(": %1 takes no connection number").arg(call->name);
        }
        if (!fault.server.isEmpty() && serverNamed(site, fault.server) == nullptr) {
            return at(w, "server") +
                   QStringLiteral(": the site has no server %1").arg(quoted(fault.server));
        }
    }
    QSet<QString> attached;
    for (qsizetype i = 0; i < site.workstation.size(); ++i) {
        const SiteWorkstationConnection& own = site.workstation.at(i);
        const QString w = item(QStringLiteral("workstation"), "connections", i);
        const SiteServer* server = serverNamed(site, own.server);
        if (server == nullptr) {
            return w + QStringLiteral(": the site has no server %1").arg(quoted(own.server));
        }
        if (attached.contains(server->name.toUpper())) {
            return w + QStringLiteral(
                           ": the workstation has one connection per server; %1 "
                           "appears twice")
                           .arg(server->name);
        }
        attached.insert(server->name.toUpper());
        bool found = false;
        for (const SiteConnection& connection : server->connections) {
            found = found || connection.number == own.number;
        }
        if (!found) {
            return w +
                   QStringLiteral(": %1 has no connection %2").arg(server->name).arg(own.number);
        }
    }
    return QString();
}

namespace {

QString positionText(const QByteArray& json, qsizetype offset, const QString& what) {
    offset = std::clamp<qsizetype>(offset, 0, json.size());
    const QByteArray before = json.left(offset);
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return QStringLiteral("line %1, column %2 (offset %3): %4")
        .arg(line)
        .arg(column)
        .arg(offset)
        .arg(what);
}

// The offset of the first key that stands twice in one object of well-formed JSON, or -1.
// QJsonDocument keeps the last of them silently, so a pasted entry would hide another.
qsizetype duplicateKeyOffset(const QByteArray& json) {
    std::vector<std::optional<QSet<QString>>> scopes;  // an object's keys; none for an array
    const qsizetype size = json.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = json.at(i);
        if (c == '{') {
            scopes.emplace_back(QSet<QString>());
        } else if (c == '[') {
            scopes.emplace_back(std::nullopt);
        } else if ((c == '}' || c == ']') && !scopes.empty()) {
            scopes.pop_back();
        } else if (c == '"') {
            const qsizetype start = i;
            bool escaped = false;
            for (++i; i < size && (escaped || json.at(i) != '"'); ++i) {
                escaped = !escaped && json.at(i) == '\\';
            }
            qsizetype next = i + 1;
            while (next < size && QChar::isSpace(uchar(json.at(next)))) {
                ++next;
            }
            if (next >= size || json.at(next) != ':' || scopes.empty() || !scopes.back()) {
                continue;
            }
            // Escapes are decoded, so that two spellings of one key still match.
            const QByteArray quoted = json.mid(start, i - start + 1);
            const QString key =
                quoted.contains('\\')
                    ? QJsonDocument::fromJson('[' + quoted + ']').array().at(0).toString()
                    : QString::fromUtf8(quoted.constData() + 1, quoted.size() - 2);
            if (scopes.back()->contains(key)) {
                return start;
            }
            scopes.back()->insert(key);
        }
    }
    return -1;
}

}  // namespace

SiteParse parseSiteJson(const QByteArray& json) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return {std::nullopt, positionText(json, parseError.offset, parseError.errorString())};
    }
    if (const qsizetype duplicate = duplicateKeyOffset(json); duplicate >= 0) {
        return {std::nullopt, positionText(json, duplicate, QStringLiteral("duplicate key"))};
    }
    if (!document.isObject()) {
        return {std::nullopt, QStringLiteral("a site file holds one JSON object { ... }")};
    }
    Reader reader;
    NetWareSite site;
    if (!readSite(reader, document.object(), &site)) {
        return {std::nullopt, reader.error()};
    }
    const QString problem = checkSite(site);
    if (!problem.isEmpty()) {
        return {std::nullopt, problem};
    }
    return {site, QString()};
}

// ---- writing ------------------------------------------------------------------------

namespace {

// A JSON value whose objects keep their keys in the order they were added.
struct Node {
    enum class Kind { Scalar, Object, Array };
    Kind kind = Kind::Scalar;
    QJsonValue scalar;
    std::vector<QString> keys;
    std::vector<Node> values;

    static Node object() { return Node{Kind::Object, {}, {}, {}}; }
    static Node array() { return Node{Kind::Array, {}, {}, {}}; }
    static Node value(QJsonValue v) { return Node{Kind::Scalar, std::move(v), {}, {}}; }

    Node& set(const char* key, Node node) {
        keys.push_back(QLatin1String(key));
        values.push_back(std::move(node));
        return *this;
    }
    Node& set(const char* key, QJsonValue v) { return set(key, value(std::move(v))); }
    Node& add(Node node) {
        values.push_back(std::move(node));
        return *this;
    }
    bool allScalar() const {
        return std::all_of(values.begin(), values.end(),
                           [](const Node& v) { return v.kind == Kind::Scalar; });
    }
    // An entry such as a connection with its address goes on one line; lists spread
    // over several unless they hold plain values.
    bool fitsOneLine() const {
        if (kind == Kind::Array) {
            return allScalar();
        }
        return std::all_of(values.begin(), values.end(), [](const Node& v) {
            return v.kind == Kind::Scalar || (v.kind == Kind::Object && v.allScalar());
        });
    }
};

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (QChar c : text) {
        switch (c.unicode()) {
            case '"':
                out += QLatin1String("\\\"");
                break;
            case '\\':
                out += QLatin1String("\\\\");
                break;
            case '\n':
                out += QLatin1String("\\n");
                break;
            case '\r':
                out += QLatin1String("\\r");
                break;
            case '\t':
                out += QLatin1String("\\t");
                break;
            default:
                if (c.unicode() < 0x20) {
                    out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
                } else {
                    out += c;
                }
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString scalarText(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Bool:
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Double:
            return QString::number(qint64(value.toDouble()));
        case QJsonValue::String:
            return escaped(value.toString());
        default:
            return QStringLiteral("null");
    }
}

void print(const Node& node, int indent, QString& out) {
    if (node.kind == Node::Kind::Scalar) {
        out += scalarText(node.scalar);
        return;
    }
    const bool isObject = node.kind == Node::Kind::Object;
    const QLatin1Char open(isObject ? '{' : '[');
    const QLatin1Char close(isObject ? '}' : ']');
    if (node.values.empty()) {
        out += open;
        out += close;
        return;
    }
    const bool oneLine = node.fitsOneLine();
    const QString inner(indent + 2, QLatin1Char(' '));
    out += open;
    for (std::size_t i = 0; i < node.values.size(); ++i) {
        if (i > 0) {
            out += QLatin1Char(',');
        }
        if (oneLine) {
            out += i > 0 ? QStringLiteral(" ") : QString();
        } else {
            out += QLatin1Char('\n') + inner;
        }
        if (isObject) {
            out += escaped(node.keys.at(i)) + QStringLiteral(": ");
        }
        print(node.values.at(i), indent + 2, out);
    }
    if (!oneLine) {
        out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
    }
    out += close;
}

QJsonValue hex(quint32 value, int digits) {
    return QStringLiteral("0x%1")
        .arg(value, digits, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

QJsonValue wallClockText(const QDateTime& dateTime) {
    return dateTime.date().toString(Qt::ISODate) + QLatin1Char('T') +
           dateTime.time().toString(QStringLiteral("HH:mm:ss"));
}

QJsonValue bytesText(std::span<const quint8> bytes) {
    QString text;
    for (quint8 byte : bytes) {
        text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

bool allZero(std::span<const quint8> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](quint8 b) { return b == 0; });
}

Node addressNode(const SiteAddress& address) {
    Node node = Node::object();
    switch (address.type) {
        case nwconntype::kIpx:
            node.set("type", QStringLiteral("IPX"));
            break;
        case nwconntype::kAfp:
            node.set("type", QStringLiteral("AFP"));
            break;
        case nwconntype::kIp:
            node.set("type", QStringLiteral("IP"));
            break;
        default:
            node.set("type", int(address.type));
    }
    if (address.type == nwconntype::kIp) {
        node.set("net", QStringLiteral("%1.%2.%3.%4")
                            .arg(address.net[0])
                            .arg(address.net[1])
                            .arg(address.net[2])
                            .arg(address.net[3]));
    } else {
        node.set("net", bytesText(address.net));
    }
    if (!allZero(address.node)) {
        node.set("node", bytesText(address.node));
    }
    if (!allZero(address.socket)) {
        node.set("socket", bytesText(address.socket));
    }
    return node;
}

Node serverNode(const SiteServer& server) {
    Node node = Node::object();
    node.set("name", server.name).set("version", server.version);
    Node volumes = Node::array();
    for (const SiteVolume& volume : server.volumes) {
        Node v = Node::object();
        v.set("name", volume.name).set("number", volume.number);
        if (!volume.root.isEmpty()) {
            v.set("root", volume.root);
        }
        volumes.add(std::move(v));
    }
    node.set("volumes", std::move(volumes));
    Node objects = Node::array();
    for (const SiteObject& object : server.objects) {
        Node o = Node::object();
        o.set("id", hex(object.id, 8)).set("name", object.name);
        if (object.type != 1) {
            o.set("type", object.type);
        }
        if (!object.dsName.isEmpty()) {
            o.set("dsName", object.dsName);
        }
        objects.add(std::move(o));
    }
    node.set("objects", std::move(objects));
    Node connections = Node::array();
    for (const SiteConnection& connection : server.connections) {
        Node c = Node::object();
        c.set("number", connection.number).set("object", hex(connection.object, 8));
        if (connection.loginTime.isValid()) {
            c.set("loginTime", wallClockText(connection.loginTime));
        }
        if (connection.address != SiteAddress()) {
            c.set("address", addressNode(connection.address));
        }
        if (!connection.acceptsMessages) {
            c.set("acceptsMessages", false);
        }
        connections.add(std::move(c));
    }
    node.set("connections", std::move(connections));
    Node openFiles = Node::array();
    for (const SiteOpenFile& open : server.openFiles) {
        Node o = Node::object();
        o.set("connection", open.connection)
            .set("path", open.path)
            .set("task", open.task)
            .set("lockType", open.lockType)
            .set("accessControl", hex(open.accessControl, 2))
            .set("locked", open.locked);
        openFiles.add(std::move(o));
    }
    node.set("openFiles", std::move(openFiles));
    Node trustees = Node::array();
    for (const SiteTrustee& trustee : server.trustees) {
        Node t = Node::object();
        t.set("path", trustee.path)
            .set("object", hex(trustee.object, 8))
            .set("rights", hex(trustee.rights, 4));
        trustees.add(std::move(t));
    }
    node.set("trustees", std::move(trustees));
    Node files = Node::array();
    for (const SiteFileRecord& file : server.files) {
        Node f = Node::object();
        f.set("path", file.path);
        if (!file.dosName.isEmpty()) {
            f.set("dosName", file.dosName);
        }
        if (file.attributes) {
            f.set("attributes", hex(*file.attributes, 8));
        }
        if (file.owner != 0) {
            f.set("owner", hex(file.owner, 8));
        }
        if (file.archiver != 0) {
            f.set("archiver", hex(file.archiver, 8));
        }
        if (file.modifier != 0) {
            f.set("modifier", hex(file.modifier, 8));
        }
        if (file.created.isValid()) {
            f.set("created", wallClockText(file.created));
        }
        if (file.accessed.isValid()) {
            f.set("accessed", file.accessed.toString(Qt::ISODate));
        }
        if (file.archived.isValid()) {
            f.set("archived", wallClockText(file.archived));
        }
        if (file.modified.isValid()) {
            f.set("modified", wallClockText(file.modified));
        }
        files.add(std::move(f));
    }
    node.set("files", std::move(files));
    return node;
}

}  // namespace

QByteArray siteToJson(const NetWareSite& site) {
    Node root = Node::object();
    Node servers = Node::array();
    for (const SiteServer& server : site.servers) {
        servers.add(serverNode(server));
    }
    root.set("servers", std::move(servers));
    Node drives = Node::array();
    for (const SiteDrive& drive : site.drives) {
        Node d = Node::object();
        d.set("letter", QString(drive.letter));
        if (drive.isNetwork()) {
            d.set("server", drive.server).set("volume", drive.volume);
            if (!drive.path.isEmpty()) {
                d.set("path", drive.path);
            }
        } else {
            d.set("local", drive.local);
        }
        drives.add(std::move(d));
    }
    root.set("drives", std::move(drives));
    Node workstation = Node::object();
    Node own = Node::array();
    for (const SiteWorkstationConnection& connection : site.workstation) {
        Node c = Node::object();
        c.set("server", connection.server).set("number", connection.number);
        own.add(std::move(c));
    }
    workstation.set("connections", std::move(own));
    root.set("workstation", std::move(workstation));
    Node faults = Node::array();
    for (const SiteFault& fault : site.faults) {
        Node f = Node::object();
        f.set("call", fault.call);
        f.set("code", fault.code > 0 ? hex(quint32(fault.code), 4) : QJsonValue(fault.code));
        if (!fault.path.isEmpty()) {
            f.set("path", fault.path);
        }
        if (fault.connection) {
            f.set("connection", *fault.connection);
        }
        if (!fault.server.isEmpty()) {
            f.set("server", fault.server);
        }
        faults.add(std::move(f));
    }
    root.set("faults", std::move(faults));
    Node messages = Node::array();
    for (const SiteMessage& message : site.messages) {
        Node m = Node::object();
        m.set("server", message.server).set("connection", message.connection);
        if (message.time.isValid()) {
            m.set("time", wallClockText(message.time));
        }
        m.set("text", message.text);
        messages.add(std::move(m));
    }
    root.set("messages", std::move(messages));
    QString text;
    print(root, 0, text);
    text += QLatin1Char('\n');
    return text.toUtf8();
}

std::optional<SiteAddress> ipv4SiteAddress(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    SiteAddress address;
    address.type = nwconntype::kIp;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint byte = parts.at(i).toUInt(&ok);
        if (!ok || byte > 255) {
            return std::nullopt;
        }
        address.net[i] = quint8(byte);
    }
    return address;
}

}  // namespace tavrel
