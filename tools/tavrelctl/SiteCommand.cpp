#include "SiteCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <functional>
#include <limits>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "common/AppFolder.h"
#include "common/DriveMap.h"
#include "common/PrintableText.h"
#include "common/TimeText.h"
#include "external/netware/DemoSite.h"
#include "external/netware/EmulatedNetWare.h"
#include "external/netware/NetWareCallNames.h"
#include "external/netware/NetWareRecords.h"
#include "external/netware/SiteFile.h"
#include "external/netware/SiteIndex.h"
#include "external/netware/SiteJson.h"
#include "external/netware/SiteSimulation.h"
#include "external/netware/VolumePath.h"
#include "external/samba/SambaNetWare.h"
#include "external/samba/SiteBackend.h"

namespace tavrel {

namespace {

const char* const kUsage =
    "Usage: tavrelctl site [--site FILE] COMMAND [ARGUMENTS]\n"
    "\n"
    "Shows and edits the emulated site of NetWare servers that Tavrel reads. The site\n"
    "file is FILE, else $TAVREL_SITE, else site.json in the program's folder (the demo\n"
    "site is written there when it is missing). A running Tavrel sees each change.\n"
    "\n"
    "Commands:\n"
    "  show                         servers, connections, open files, drives, faults\n"
    "                               (also of a Samba site file, as read from its server)\n"
    "  login USER [--server S] [--conn N] [--ip A.B.C.D | --ipx NET:NODE:SOCKET |\n"
    "        --afp NET:NODE:SOCKET]\n"
    "                               log USER in (a new connection, logged in now)\n"
    "  logout CONN [--server S]     log connection CONN out; its files close\n"
    "  open CONN PATH [--mode r,w,dr,dw] [--task N] [--shareable] [--locked] [--server S]\n"
    "                               connection CONN opens PATH (G:\\APPS\\ORDERS.DBF,\n"
    "                               SYS:APPS\\ORDERS.DBF or FS1\\SYS:APPS\\ORDERS.DBF)\n"
    "  close CONN PATH [--task N] [--server S]\n"
    "                               connection CONN closes PATH\n"
    "  lock CONN PATH [--task N] [--server S]\n"
    "                               connection CONN locks the open PATH\n"
    "  unlock [CONN] PATH [--server S]\n"
    "                               releases CONN's locks on PATH (every lock without CONN)\n"
    "  fail CALL CODE [--path P] [--conn N] [--server S]\n"
    "                               the NetWare call CALL returns CODE (0x8996 or 35222)\n"
    "  clear-faults                 every call works again\n"
    "  messages [--clear]           broadcast messages the program sent\n"
    "  simulate [--seed N] [--every SECONDS] [--for SECONDS]\n"
    "                               users log in and out, open, lock and close files at\n"
    "                               random (repeatably for a seed), a change every SECONDS\n"
    "                               (5 unless given), until --for SECONDS have passed or\n"
    "                               SIGINT/SIGTERM\n";

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kBadUsage = 2;

QString hex(quint32 value, int digits) {
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString modeText(quint8 access) {
    QStringList words;
    const char* const names[] = {"r", "w", "dr", "dw"};
    for (int bit = 0; bit < 4; ++bit) {
        if (access & (1 << bit)) {
            words.append(QLatin1String(names[bit]));
        }
    }
    return words.isEmpty() ? QStringLiteral("-") : words.join(QLatin1Char(','));
}

std::optional<quint8> parseMode(const QString& text) {
    quint8 access = 0;
    for (const QString& word : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString w = word.trimmed().toLower();
        if (w == QLatin1String("r")) {
            access |= 0x01;
        } else if (w == QLatin1String("w")) {
            access |= 0x02;
        } else if (w == QLatin1String("dr")) {
            access |= 0x04;
        } else if (w == QLatin1String("dw")) {
            access |= 0x08;
        } else {
            return std::nullopt;
        }
    }
    return access;
}

QString hexBytes(std::span<const quint8> bytes) {
    QString text;
    for (quint8 byte : bytes) {
        text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString addressText(const SiteAddress& address) {
    switch (address.type) {
        case nwconntype::kIp:
            return QStringLiteral("IP:%1.%2.%3.%4")
                .arg(address.net[0])
                .arg(address.net[1])
                .arg(address.net[2])
                .arg(address.net[3]);
        case nwconntype::kIpx:
        case nwconntype::kAfp:
            return (address.type == nwconntype::kIpx ? QStringLiteral("IPX:")
                                                     : QStringLiteral("AFP:")) +
                   hexBytes(address.net) + QLatin1Char(':') + hexBytes(address.node) +
                   QLatin1Char(':') + hexBytes(address.socket);
        default:
            return QStringLiteral("type %1").arg(address.type);
    }
}

template <std::size_t N>
bool parseHex(const QString& text, std::array<quint8, N>* out) {
    if (text.size() != qsizetype(2 * N)) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        bool ok = false;
        (*out)[i] = quint8(text.mid(qsizetype(2 * i), 2).toUInt(&ok, 16));
        if (!ok) {
            return false;
        }
    }
    return true;
}

// NET:NODE:SOCKET in hexadecimal, 8, 12 and 4 digits.
std::optional<SiteAddress> parseNodeAddress(const QString& text, quint8 type) {
    const QStringList parts = text.split(QLatin1Char(':'));
    SiteAddress address;
    address.type = type;
    if (parts.size() != 3 || !parseHex(parts.at(0), &address.net) ||
        !parseHex(parts.at(1), &address.node) || !parseHex(parts.at(2), &address.socket)) {
        return std::nullopt;
    }
    return address;
}

std::optional<qint64> parseNumber(const QString& text, qint64 min, qint64 max) {
    bool ok = false;
    const QString trimmed = text.trimmed();
    const qint64 number = trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                              ? trimmed.mid(2).toLongLong(&ok, 16)
                              : trimmed.toLongLong(&ok, 10);
    if (!ok || number < min || number > max) {
        return std::nullopt;
    }
    return number;
}

int serverNamed(const NetWareSite& site, const QString& name) {
    for (int s = 0; s < site.servers.size(); ++s) {
        if (site.servers.at(s).name.compare(name, Qt::CaseInsensitive) == 0) {
            return s;
        }
    }
    return -1;
}

QString objectName(const SiteServer& server, quint32 id) {
    for (const SiteObject& object : server.objects) {
        if (object.id == id) {
            return object.name;
        }
    }
    return hex(id, 8);
}

const SiteConnection* connectionOf(const SiteServer& server, quint16 number) {
    for (const SiteConnection& connection : server.connections) {
        if (connection.number == number) {
            return &connection;
        }
    }
    return nullptr;
}

// The server of a connection number: the one --server names, else the only server that
// has such a connection.
int serverOfConnection(const NetWareSite& site, quint16 number, const QString& serverOption,
                       QString* error) {
    if (!serverOption.isEmpty()) {
        const int s = serverNamed(site, serverOption);
        if (s < 0) {
            *error = QStringLiteral("the site has no server %1").arg(serverOption);
        } else if (connectionOf(site.servers.at(s), number) == nullptr) {
            *error =
                QStringLiteral("%1 has no connection %2").arg(site.servers.at(s).name).arg(number);
            return -1;
        }
        return s;
    }
    QList<int> found;
    for (int s = 0; s < site.servers.size(); ++s) {
        if (connectionOf(site.servers.at(s), number) != nullptr) {
            found.append(s);
        }
    }
    if (found.isEmpty()) {
        *error = QStringLiteral("no server has a connection %1").arg(number);
        return -1;
    }
    if (found.size() > 1) {
        QStringList names;
        for (int s : found) {
            names.append(site.servers.at(s).name);
        }
        *error = QStringLiteral("connection %1 exists on %2; name the server with --server")
                     .arg(number)
                     .arg(names.join(QStringLiteral(" and ")));
        return -1;
    }
    return found.first();
}

// A file path given on the command line, on a server of the site.
std::optional<SitePath> resolveFile(const SiteIndex& index, const QString& text,
                                    const QString& serverOption, QString* error) {
    const NetWareSite& site = index.site();
    NWCCODE code = nwcode::kSuccessful;
    std::optional<SitePath> path;
    QChar letter;
    QStringList components;
    const bool dosForm = splitDosPath(text, &letter, &components);
    int wanted = -1;
    if (!serverOption.isEmpty()) {
        wanted = index.serverNamed(serverOption);
        if (wanted < 0) {
            *error = QStringLiteral("the site has no server %1").arg(serverOption);
            return std::nullopt;
        }
    }
    if (wanted >= 0 && !dosForm) {
        path = index.resolveOn(wanted, text, &code);
    } else {
        path = index.resolve(text, &code);
    }
    if (!path) {
        const std::optional<MappedDrive> drive = [&]() -> std::optional<MappedDrive> {
            for (const MappedDrive& d : index.drives()) {
                if (d.letter == letter) {
                    return d;
                }
            }
            return std::nullopt;
        }();
        if (dosForm && !drive) {
            *error = QStringLiteral("drive %1: is not mapped").arg(letter);
        } else if (dosForm && !drive->isNetwork()) {
            *error = QStringLiteral("drive %1: is a local drive, not a server volume").arg(letter);
        } else if (code == nwcode::kVolumeDoesNotExist) {
            const std::optional<VolumePath> parsed = parseVolumePath(text);
            const QString volume = parsed ? parsed->volume : text;
            *error = wanted >= 0 ? QStringLiteral("%1 has no volume %2")
                                       .arg(site.servers.at(wanted).name, volume)
                                 : QStringLiteral("no server has a volume %1").arg(volume);
        } else if (code == nwcode::kNoSuchObject) {
            *error = QStringLiteral("the site has no server %1").arg(parseVolumePath(text)->server);
        } else {
            *error = QStringLiteral(
                         "%1 is not a path on a server: give a mapped drive-letter "
                         "path (G:\\APPS\\ORDERS.DBF) or a volume path "
                         "(SYS:APPS\\ORDERS.DBF)")
                         .arg(text);
        }
        return std::nullopt;
    }
    if (wanted >= 0 && path->server != wanted) {
        *error = QStringLiteral("%1 lies on %2, not on %3")
                     .arg(text, site.servers.at(path->server).name, site.servers.at(wanted).name);
        return std::nullopt;
    }
    if (path->components.isEmpty()) {
        *error = QStringLiteral("%1 names a volume's root, not a file").arg(text);
        return std::nullopt;
    }
    return path;
}

QString openFileKey(const SiteOpenFile& open) {
    const std::optional<VolumePath> path = parseVolumePath(open.path);
    return path ? path->key() : open.path.toUpper();
}

// Runs a change of the site under its lock; prints what was done or why nothing was.
int edit(const SiteFile& file, QTextStream& out, QTextStream& err,
         const std::function<QString(NetWareSite& site, QString* done)>& change) {
    QString done;
    const SiteUpdate update = file.update([&](NetWareSite& site) { return change(site, &done); });
    if (!update.ok) {
        err << "tavrelctl site: " << update.error << "\n";
        return kRefused;
    }
    out << done << "\n";
    return kDone;
}

QDateTime wallClockNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const QTime time = now.time();
    return QDateTime(now.date(), QTime(time.hour(), time.minute(), time.second()), Qt::UTC);
}

// ---- the commands ----

void printSite(const NetWareSite& site, const SambaNetWare* samba, QTextStream& out);

int show(const SiteFile& file, const CommandArgs&, QTextStream& out, QTextStream& err) {
    const SiteLoad load = file.load();
    if (!load.site) {
        err << "tavrelctl site: " << load.error << "\n";
        return kRefused;
    }
    out << "Site file: " << printableText(file.path()) << "\n";
    printSite(*load.site, nullptr, out);
    return kDone;
}

// The Samba servers as the program sees them: read once, shown in the same form; a server
// that cannot be read is shown as such, and the command fails.
int showSamba(const QString& path, QTextStream& out, QTextStream& err) {
    const std::unique_ptr<EmulatedNetWare> client =
        openSiteClient(path, resolveAppFolder(QCoreApplication::applicationDirPath()));
    if (client->NWCallsInit() != nwcode::kSuccessful) {
        err << "tavrelctl site: " << printableText(client->initFailureReason()) << "\n";
        return kRefused;
    }
    auto* samba = dynamic_cast<SambaNetWare*>(client.get());
    if (samba == nullptr) {
        err << "tavrelctl site: the site file changed meanwhile\n";
        return kRefused;
    }
    const QString problem = samba->readServers();
    out << "Samba site file: " << printableText(path) << "\n";
    printSite(client->site(), samba, out);
    if (!problem.isEmpty()) {
        err << "tavrelctl site: " << printableText(problem) << "\n";
        return kRefused;
    }
    return kDone;
}

void printSite(const NetWareSite& site, const SambaNetWare* samba, QTextStream& out) {
    const SiteIndex index(site);
    for (int s = 0; s < site.servers.size(); ++s) {
        const SiteServer& server = site.servers.at(s);
        out << "\n" << printableText(server.name);
        if (samba != nullptr) {
            const QString unread = samba->unreadReason(server.name);
            out << (unread.isEmpty() ? QStringLiteral(" (Samba server)\n")
                                     : QStringLiteral(" (Samba server, not read)\n"));
        } else {
            out << " (NetWare " << server.version << ", "
                << (server.version > 3 ? "directory service" : "bindery") << ")\n";
        }
        for (int v = 0; v < server.volumes.size(); ++v) {
            const QString root = index.server(s).volumeRoots.at(v);
            out << "  volume " << printableText(server.volumes.at(v).name) << " ("
                << server.volumes.at(v).number << ")"
                << (root.isEmpty() ? QString() : QStringLiteral(" in ") + printableText(root))
                << "\n";
        }
        const int own = index.server(s).workstationConnection;
        out << "  connections:\n";
        for (int c = 0; c < server.connections.size(); ++c) {
            const SiteConnection& connection = server.connections.at(c);
            out << QStringLiteral("    %1  %2  %3  %4")
                       .arg(connection.number, 5)
                       .arg(printableText(objectName(server, connection.object)), -12)
                       .arg(connection.loginTime.isValid()
                                ? connection.loginTime.toString(
                                      QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                : QStringLiteral("-"),
                            -19)
                       .arg(addressText(connection.address));
            if (c == own) {
                out << "  (this workstation)";
            }
            if (!connection.acceptsMessages) {
                out << "  (refuses messages)";
            }
            out << "\n";
        }
        out << "  open files:\n";
        for (const SiteOpenFile& open : server.openFiles) {
            const SiteConnection* connection = connectionOf(server, open.connection);
            out << QStringLiteral("    %1  connection %2 (%3) task %4  %5%6%7\n")
                       .arg(printableText(open.path))
                       .arg(open.connection)
                       .arg(connection ? printableText(objectName(server, connection->object))
                                       : QStringLiteral("?"))
                       .arg(open.task)
                       .arg(modeText(open.accessControl))
                       .arg(open.lockType == 8 ? QStringLiteral("  shareable") : QString())
                       .arg(open.locked ? QStringLiteral("  locked") : QString());
        }
        out << "  trustees: " << server.trustees.size()
            << ", extended records: " << server.files.size() << "\n";
    }
    out << "\nDrives:\n";
    for (const MappedDrive& drive : index.drives()) {
        if (drive.isNetwork()) {
            out << "  " << drive.letter << ": " << printableText(drive.server) << "\\"
                << printableText(drive.volume) << ":" << printableText(drive.path) << "\n";
        } else {
            out << "  " << drive.letter << ": local " << printableText(drive.localRoot) << "\n";
        }
    }
    out << "\nFaults:" << (site.faults.isEmpty() ? " none" : "") << "\n";
    for (const SiteFault& fault : site.faults) {
        out << "  " << fault.call << " fails with "
            << (fault.code > 0 ? hex(quint32(fault.code), 4) : QString::number(fault.code));
        if (!fault.path.isEmpty()) {
            out << " for " << printableText(fault.path);
        }
        if (fault.connection) {
            out << " for connection " << *fault.connection;
        }
        if (!fault.server.isEmpty()) {
            out << " on " << printableText(fault.server);
        }
        out << "\n";
    }
    out << "\nMessages: " << site.messages.size() << "\n";
}

int login(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    const QString user = args.positional().at(0);
    const int addressOptions = int(args.has(QStringLiteral("ip"))) +
                               int(args.has(QStringLiteral("ipx"))) +
                               int(args.has(QStringLiteral("afp")));
    if (addressOptions > 1) {
        err << "tavrelctl site: give one address: --ip, --ipx or --afp\n";
        return kBadUsage;
    }
    std::optional<SiteAddress> address = ipv4SiteAddress(QStringLiteral("127.0.0.1"));
    if (args.has(QStringLiteral("ip"))) {
        address = ipv4SiteAddress(args.value(QStringLiteral("ip")));
    } else if (args.has(QStringLiteral("ipx"))) {
        address = parseNodeAddress(args.value(QStringLiteral("ipx")), nwconntype::kIpx);
    } else if (args.has(QStringLiteral("afp"))) {
        address = parseNodeAddress(args.value(QStringLiteral("afp")), nwconntype::kAfp);
    }
    if (!address) {
        err << "tavrelctl site: the address must be A.B.C.D for --ip and NET:NODE:SOCKET in "
               "hexadecimal (8, 12 and 4 digits, as 0000ABCD:00A0C91E2F30:4003) for --ipx "
               "and --afp\n";
        return kBadUsage;
    }
    std::optional<qint64> wantedNumber;
    if (args.has(QStringLiteral("conn"))) {
        wantedNumber = parseNumber(args.value(QStringLiteral("conn")), 1, 65535);
        if (!wantedNumber) {
            err << "tavrelctl site: --conn takes a connection number from 1 to 65535\n";
            return kBadUsage;
        }
    }
    const QString serverOption = args.value(QStringLiteral("server"));
    return edit(file, out, err, [&](NetWareSite& site, QString* done) {
        int s = -1;
        const SiteObject* object = nullptr;
        for (int i = 0; i < site.servers.size() && object == nullptr; ++i) {
            if (!serverOption.isEmpty() &&
                site.servers.at(i).name.compare(serverOption, Qt::CaseInsensitive) != 0) {
                continue;
            }
            for (const SiteObject& candidate : site.servers.at(i).objects) {
                if (candidate.name.compare(user, Qt::CaseInsensitive) == 0) {
                    s = i;
                    object = &candidate;
                    break;
                }
            }
        }
        if (!serverOption.isEmpty() && serverNamed(site, serverOption) < 0) {
            return QStringLiteral("the site has no server %1").arg(serverOption);
        }
        if (object == nullptr) {
            return serverOption.isEmpty()
                       ? QStringLiteral("no server has a user %1").arg(user)
                       : QStringLiteral("%1 has no user %2")
                             .arg(site.servers.at(serverNamed(site, serverOption)).name, user);
        }
        SiteServer& server = site.servers[s];
        quint16 number = 0;
        if (wantedNumber) {
            number = quint16(*wantedNumber);
            if (const SiteConnection* taken = connectionOf(server, number)) {
                return QStringLiteral("%1 already has connection %2 (%3)")
                    .arg(server.name)
                    .arg(number)
                    .arg(objectName(server, taken->object));
            }
        } else {
            number = 1;
            while (connectionOf(server, number) != nullptr) {
                if (number == 65535) {
                    return QStringLiteral("%1 has no free connection number").arg(server.name);
                }
                ++number;
            }
        }
        SiteConnection connection;
        connection.number = number;
        connection.object = object->id;
        connection.loginTime = wallClockNow();
        connection.address = *address;
        const QString name = object->name;
        server.connections.append(connection);
        *done = QStringLiteral("%1 logged in on %2 as connection %3 (%4).")
                    .arg(name, server.name)
                    .arg(number)
                    .arg(addressText(connection.address));
        return QString();
    });
}

int logout(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    const std::optional<qint64> number = parseNumber(args.positional().at(0), 1, 65535);
    if (!number) {
        err << "tavrelctl site: CONN must be a connection number from 1 to 65535\n";
        return kBadUsage;
    }
    const QString serverOption = args.value(QStringLiteral("server"));
    return edit(file, out, err, [&](NetWareSite& site, QString* done) {
        QString error;
        const int s = serverOfConnection(site, quint16(*number), serverOption, &error);
        if (s < 0 || !error.isEmpty()) {
            return error;
        }
        SiteServer& server = site.servers[s];
        const QString user = objectName(server, connectionOf(server, quint16(*number))->object);
        server.connections.removeIf([&](const SiteConnection& c) { return c.number == *number; });
        const qsizetype closed = server.openFiles.removeIf(
            [&](const SiteOpenFile& f) { return f.connection == *number; });
        site.workstation.removeIf([&](const SiteWorkstationConnection& w) {
            return w.number == *number && w.server.compare(server.name, Qt::CaseInsensitive) == 0;
        });
        *done = QStringLiteral("Connection %1 (%2) on %3 logged out; %4 open file(s) closed.")
                    .arg(*number)
                    .arg(user, server.name)
                    .arg(closed);
        return QString();
    });
}

// What open, close, lock and unlock share: the connection, the file and the server.
struct FileTarget {
    int server = -1;
    std::optional<quint16> connection;
    QString key;
    QString text;
};

std::optional<FileTarget> fileTarget(const NetWareSite& site, const QString& connectionText,
                                     const QString& pathText, const QString& serverOption,
                                     bool mustExist, QString* error) {
    FileTarget target;
    const SiteIndex index(site);
    const std::optional<SitePath> path = resolveFile(index, pathText, serverOption, error);
    if (!path) {
        return std::nullopt;
    }
    target.server = path->server;
    const SiteServer& server = site.servers.at(path->server);
    if (!connectionText.isNull()) {
        const std::optional<qint64> number = parseNumber(connectionText, 1, 65535);
        if (!number) {
            *error = QStringLiteral("CONN must be a connection number from 1 to 65535, not %1")
                         .arg(connectionText);
            return std::nullopt;
        }
        if (connectionOf(server, quint16(*number)) == nullptr) {
            *error = QStringLiteral("%1 has no connection %2").arg(server.name).arg(*number);
            return std::nullopt;
        }
        target.connection = quint16(*number);
    }
    target.key = index.key(*path);
    target.text = index.text(*path);
    const QString root = index.server(path->server).volumeRoots.at(path->volume);
    if (mustExist && !root.isEmpty()) {
        const QString local = index.localPath(*path);
        if (local.isEmpty() || !QFileInfo(local).isFile()) {
            *error = QStringLiteral("%1 has no file %2 (its volume's files are in %3)")
                         .arg(server.name, target.text, root);
            return std::nullopt;
        }
        // Keep the names as the volume spells them.
        const QStringList real = QDir::fromNativeSeparators(local).split(QLatin1Char('/'));
        SitePath spelled = *path;
        spelled.components = real.mid(real.size() - path->components.size());
        target.text = index.text(spelled);
    }
    return target;
}

// The --task option, or fallback when it is not given; false (told on err) when it is not
// a task number.
bool taskOption(const CommandArgs& args, std::optional<qint64> fallback,
                std::optional<qint64>* task, QTextStream& err) {
    *task = fallback;
    if (!args.has(QStringLiteral("task"))) {
        return true;
    }
    *task = parseNumber(args.value(QStringLiteral("task")), 0, 65535);
    if (!*task) {
        err << "tavrelctl site: --task takes a task number from 0 to 65535\n";
        return false;
    }
    return true;
}

int open(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    const std::optional<quint8> mode =
        parseMode(args.has(QStringLiteral("mode")) ? args.value(QStringLiteral("mode"))
                                                   : QStringLiteral("r"));
    if (!mode) {
        err << "tavrelctl site: --mode takes r, w, dr and dw joined by commas (r,w,dw)\n";
        return kBadUsage;
    }
    std::optional<qint64> task;
    if (!taskOption(args, 1, &task, err)) {
        return kBadUsage;
    }
    return edit(file, out, err, [&](NetWareSite& site, QString* done) {
        QString error;
        const std::optional<FileTarget> target =
            fileTarget(site, args.positional().at(0), args.positional().at(1),
                       args.value(QStringLiteral("server")), true, &error);
        if (!target) {
            return error;
        }
        SiteServer& server = site.servers[target->server];
        SiteOpenFile open;
        open.connection = *target->connection;
        open.path = target->text;
        open.task = quint16(*task);
        open.accessControl = *mode;
        open.lockType = args.has(QStringLiteral("shareable")) ? 8 : 0;
        open.locked = args.has(QStringLiteral("locked"));
        server.openFiles.append(open);
        *done = QStringLiteral("Connection %1 (%2) on %3 opened %4: task %5, %6%7%8.")
                    .arg(open.connection)
                    .arg(objectName(server, connectionOf(server, open.connection)->object),
                         server.name, open.path)
                    .arg(open.task)
                    .arg(modeText(open.accessControl),
                         open.lockType == 8 ? QStringLiteral(", shareable") : QString(),
                         open.locked ? QStringLiteral(", locked") : QString());
        return QString();
    });
}

int close(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    std::optional<qint64> task;
    if (!taskOption(args, std::nullopt, &task, err)) {
        return kBadUsage;
    }
    return edit(file, out, err, [&](NetWareSite& site, QString* done) {
        QString error;
        const std::optional<FileTarget> target =
            fileTarget(site, args.positional().at(0), args.positional().at(1),
                       args.value(QStringLiteral("server")), false, &error);
        if (!target) {
            return error;
        }
        SiteServer& server = site.servers[target->server];
        const qsizetype closed = server.openFiles.removeIf([&](const SiteOpenFile& f) {
            return f.connection == *target->connection && openFileKey(f) == target->key &&
                   (!task || f.task == *task);
        });
        if (closed == 0) {
            return QStringLiteral("connection %1 on %2 does not have %3 open%4")
                .arg(*target->connection)
                .arg(server.name, target->text,
                     task ? QStringLiteral(" in task %1").arg(*task) : QString());
        }
        *done = QStringLiteral("Connection %1 on %2 closed %3 (%4 open entr%5).")
                    .arg(*target->connection)
                    .arg(server.name, target->text)
                    .arg(closed)
                    .arg(closed == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
        return QString();
    });
}

int setLock(const SiteFile& file, const CommandArgs& args, bool locked, QTextStream& out,
            QTextStream& err) {
    const QStringList& words = args.positional();
    if (locked && words.size() != 2) {
        err << "tavrelctl site: lock takes CONN and PATH\n";
        return kBadUsage;
    }
    const QString connectionText = words.size() == 2 ? words.at(0) : QString();
    const QString pathText = words.last();
    std::optional<qint64> task;
    if (!taskOption(args, std::nullopt, &task, err)) {
        return kBadUsage;
    }
    return edit(file, out, err, [&](NetWareSite& site, QString* done) {
        QString error;
        const std::optional<FileTarget> target = fileTarget(
            site, connectionText, pathText, args.value(QStringLiteral("server")), false, &error);
        if (!target) {
            return error;
        }
        SiteServer& server = site.servers[target->server];
        int matched = 0;
        for (SiteOpenFile& open : server.openFiles) {
            if (openFileKey(open) == target->key &&
                (!target->connection || open.connection == *target->connection) &&
                (!task || open.task == *task)) {
                open.locked = locked;
                ++matched;
            }
        }
        if (matched == 0) {
            return target->connection
                       ? QStringLiteral("connection %1 on %2 does not have %3 open")
                             .arg(*target->connection)
                             .arg(server.name, target->text)
                       : QStringLiteral("nobody on %1 has %2 open").arg(server.name, target->text);
        }
        const QString who = target->connection
                                ? QStringLiteral("Connection %1").arg(*target->connection)
                                : QStringLiteral("Every connection");
        *done = QStringLiteral("%1 on %2 %3 %4.")
                    .arg(who, server.name,
                         locked ? QStringLiteral("now holds a lock on")
                                : QStringLiteral("no longer holds a lock on"),
                         target->text);
        return QString();
    });
}

int lock(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    return setLock(file, args, true, out, err);
}

int unlock(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    return setLock(file, args, false, out, err);
}

int fail(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    const NetWareCallName* call = findNetWareCall(args.positional().at(0));
    if (call == nullptr) {
        QStringList names;
        for (const NetWareCallName& known : kNetWareCalls) {
            names.append(QLatin1String(known.name));
        }
        err << "tavrelctl site: " << args.positional().at(0)
            << " is not a NetWare call of the client; the calls are:\n  "
            << names.join(QStringLiteral("\n  ")) << "\n";
        return kBadUsage;
    }
    const std::optional<qint64> code =
        parseNumber(args.positional().at(1), std::numeric_limits<qint32>::min(),
                    std::numeric_limits<qint32>::max());
    if (!code || *code == 0) {
        err << "tavrelctl site: CODE must be a non-zero result code, as 0x8996 or 35222\n";
        return kBadUsage;
    }
    SiteFault fault;
    fault.call = QLatin1String(call->name);
    fault.code = NWCCODE(*code);
    fault.path = args.value(QStringLiteral("path"));
    fault.server = args.value(QStringLiteral("server"));
    if (!fault.path.isEmpty() && !call->takesPath) {
        err << "tavrelctl site: " << call->name << " takes no path\n";
        return kBadUsage;
    }
    if (args.has(QStringLiteral("conn"))) {
        const std::optional<qint64> number =
            parseNumber(args.value(QStringLiteral("conn")), 1, 65535);
        if (!number || !call->takesConnection) {
            err << "tavrelctl site: "
                << (number ? QStringLiteral("%1 takes no connection number").arg(call->name)
                           : QStringLiteral("--conn takes a connection number from 1 to 65535"))
                << "\n";
            return kBadUsage;
        }
        fault.connection = quint16(*number);
    }
    return edit(file, out, err, [&](NetWareSite& site, QString* done) {
        if (!fault.server.isEmpty() && serverNamed(site, fault.server) < 0) {
            return QStringLiteral("the site has no server %1").arg(fault.server);
        }
        site.faults.append(fault);
        *done = QStringLiteral("%1 now fails with %2").arg(fault.call, args.positional().at(1));
        if (!fault.path.isEmpty()) {
            *done += QStringLiteral(" for %1").arg(fault.path);
        }
        if (fault.connection) {
            *done += QStringLiteral(" for connection %1").arg(*fault.connection);
        }
        if (!fault.server.isEmpty()) {
            *done += QStringLiteral(" on %1").arg(fault.server);
        }
        *done += QLatin1Char('.');
        return QString();
    });
}

int clearFaults(const SiteFile& file, const CommandArgs&, QTextStream& out, QTextStream& err) {
    return edit(file, out, err, [&](NetWareSite& site, QString* done) {
        *done = QStringLiteral("%1 fault(s) cleared.").arg(site.faults.size());
        site.faults.clear();
        return QString();
    });
}

int messages(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    if (args.has(QStringLiteral("clear"))) {
        return edit(file, out, err, [&](NetWareSite& site, QString* done) {
            *done = QStringLiteral("%1 message(s) cleared.").arg(site.messages.size());
            site.messages.clear();
            return QString();
        });
    }
    const SiteLoad load = file.load();
    if (!load.site) {
        err << "tavrelctl site: " << load.error << "\n";
        return kRefused;
    }
    if (load.site->messages.isEmpty()) {
        out << "No messages.\n";
    }
    for (const SiteMessage& message : load.site->messages) {
        const int s = serverNamed(*load.site, message.server);
        const SiteConnection* connection =
            s < 0 ? nullptr : connectionOf(load.site->servers.at(s), message.connection);
        out << (message.time.isValid()
                    ? message.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                    : QStringLiteral("-"))
            << "  " << printableText(message.server) << " connection " << message.connection;
        if (connection != nullptr) {
            out << " (" << printableText(objectName(load.site->servers.at(s), connection->object))
                << ")";
        }
        out << ": " << printableText(message.text) << "\n";
    }
    return kDone;
}

struct SiteCommand {
    const char* name;
    int minWords;
    int maxWords;
    QStringList flags;
    QStringList options;
    int (*run)(const SiteFile&, const CommandArgs&, QTextStream&, QTextStream&);
};

volatile std::sig_atomic_t g_simulationEnded = 0;

extern "C" void endSimulation(int) {
    g_simulationEnded = 1;
}

int simulate(const SiteFile& file, const CommandArgs& args, QTextStream& out, QTextStream& err) {
    const auto seconds = [&](const char* option, double fallback) -> std::optional<double> {
        if (!args.has(QLatin1String(option))) {
            return fallback;
        }
        bool numeric = false;
        const double value = args.value(QLatin1String(option)).toDouble(&numeric);
        return numeric && value > 0 && value <= 86400 ? std::optional<double>(value) : std::nullopt;
    };
    const std::optional<double> every = seconds("every", 5);
    const std::optional<double> duration = seconds("for", 0);
    const std::optional<qint64> seed =
        args.has(QStringLiteral("seed"))
            ? parseNumber(args.value(QStringLiteral("seed")), 0, 0xFFFFFFFF)
            : std::optional<qint64>(1);
    if (!every || !duration || !seed) {
        err << "tavrelctl site simulate: --every and --for take seconds above 0 (at most a "
               "day), --seed a whole number from 0 to 4294967295\n";
        return kBadUsage;
    }
    std::signal(SIGINT, endSimulation);
    std::signal(SIGTERM, endSimulation);
    SiteSimulation simulation{quint32(*seed)};
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 limitMs = args.has(QStringLiteral("for")) ? qint64(*duration * 1000) : -1;
    const qint64 everyMs = std::max<qint64>(1, qint64(*every * 1000));
    for (qint64 next = 0; !g_simulationEnded && (limitMs < 0 || next <= limitMs); next += everyMs) {
        while (!g_simulationEnded && elapsed.elapsed() < next) {
            QThread::msleep(std::min<qint64>(100, next - elapsed.elapsed()));
        }
        if (g_simulationEnded) {
            break;
        }
        QString done;
        const SiteUpdate update = file.update([&](NetWareSite& site) {
            done = simulation.step(site, wallClockNow());
            return QString();
        });
        if (!update.ok) {
            err << "tavrelctl site simulate: " << update.error << "\n";
            return kRefused;
        }
        if (!done.isEmpty()) {
            out << timeText(wallClockNow().time()) << "  " << done << "\n";
            out.flush();
        }
    }
    return kDone;
}

const QList<SiteCommand>& siteCommands() {
    static const QList<SiteCommand> commands = {
        {"show", 0, 0, {}, {}, show},
        {"login",
         1,
         1,
         {},
         {QStringLiteral("server"), QStringLiteral("conn"), QStringLiteral("ip"),
          QStringLiteral("ipx"), QStringLiteral("afp")},
         login},
        {"logout", 1, 1, {}, {QStringLiteral("server")}, logout},
        {"open",
         2,
         2,
         {QStringLiteral("shareable"), QStringLiteral("locked")},
         {QStringLiteral("mode"), QStringLiteral("task"), QStringLiteral("server")},
         open},
        {"close", 2, 2, {}, {QStringLiteral("task"), QStringLiteral("server")}, close},
        {"lock", 2, 2, {}, {QStringLiteral("task"), QStringLiteral("server")}, lock},
        {"unlock", 1, 2, {}, {QStringLiteral("task"), QStringLiteral("server")}, unlock},
        {"fail",
         2,
         2,
         {},
         {QStringLiteral("path"), QStringLiteral("conn"), QStringLiteral("server")},
         fail},
        {"clear-faults", 0, 0, {}, {}, clearFaults},
        {"messages", 0, 0, {QStringLiteral("clear")}, {}, messages},
        {"simulate",
         0,
         0,
         {},
         {QStringLiteral("seed"), QStringLiteral("every"), QStringLiteral("for")},
         simulate},
    };
    return commands;
}

}  // namespace

QString siteUsage() {
    return QString::fromLatin1(kUsage);
}

int runSiteCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QStringList words;
    QString sitePath;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--site")) {
            if (i + 1 >= args.size()) {
                err << "tavrelctl site: option --site needs a value\n";
                return kBadUsage;
            }
            sitePath = args.at(++i);
        } else if (args.at(i).startsWith(QLatin1String("--site="))) {
            sitePath = args.at(i).mid(7);
        } else {
            words.append(args.at(i));
        }
    }
    if (words.isEmpty() || words.first() == QLatin1String("help") ||
        words.first() == QLatin1String("--help")) {
        (words.isEmpty() ? err : out) << kUsage;
        return words.isEmpty() ? kBadUsage : kDone;
    }
    const QString name = words.takeFirst();
    const SiteCommand* command = nullptr;
    for (const SiteCommand& candidate : siteCommands()) {
        if (name == QLatin1String(candidate.name)) {
            command = &candidate;
        }
    }
    if (command == nullptr) {
        err << "tavrelctl site: unknown command " << name << "\n\n" << kUsage;
        return kBadUsage;
    }
    const CommandArgs parsed(words, command->flags, command->options);
    if (!parsed.ok()) {
        err << "tavrelctl site " << name << ": " << parsed.error() << "\n";
        return kBadUsage;
    }
    const qsizetype count = parsed.positional().size();
    if (count < command->minWords || count > command->maxWords) {
        err << "tavrelctl site " << name << ": wrong number of arguments\n\n" << kUsage;
        return kBadUsage;
    }
    const QString path = resolveSitePath(sitePath, err);
    if (isSambaSiteFile(path)) {
        if (command->run == show) {
            return showSamba(path, out, err);
        }
        err << "tavrelctl site " << name
            << ": the site file names a Samba server; only show works on it\n";
        return kRefused;
    }
    return command->run(SiteFile(path), parsed, out, err);
}

}  // namespace tavrel
