#include "external/netware/EmulatedNetWare.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "common/Module1.h"
#include "common/SystemClock.h"
#include "external/netware/DosNames.h"
#include "external/netware/NetWareCallNames.h"
#include "external/netware/NetWareDateTime.h"
#include "external/netware/SiteFile.h"
#include "external/netware/SiteIndex.h"
#include "external/netware/SiteJson.h"
#include "external/netware/VolumePath.h"

namespace tavrel {

namespace {

// Handles the emulator gives out: one fixed handle per server for the workstation's own
// connection, and a fresh one for every connection opened by name.
constexpr NWCONN_HANDLE kFirstServerHandle = 0x0401;
constexpr NWCONN_HANDLE kFirstOpenedHandle = 0x8001;

// The lock flag of a connection that holds a file locked.
constexpr quint8 kLockedFlag = 0xFE;

constexpr quint16 kSupervisorRight = 0x0100;
constexpr quint32 kDefaultFileAttributes = 0x20;  // Archive
constexpr quint32 kDirectoryAttribute = 0x10;
constexpr quint32 kHiddenAttribute = 0x02;
constexpr quint32 kSystemAttribute = 0x04;

// Writes text into a caller's buffer: at most its size, NUL-terminated when it fits.
// An empty buffer is sized to fit.
void putText(QByteArray& buffer, const QString& text) {
    const QByteArray bytes = text.toLatin1();
    if (buffer.isEmpty()) {
        buffer = bytes;
        buffer.append('\0');
        return;
    }
    const qsizetype count = std::min(bytes.size(), buffer.size());
    std::memcpy(buffer.data(), bytes.constData(), size_t(count));
    if (count < buffer.size()) {
        buffer[count] = '\0';
    }
}

// DOS wildcards: * any run, ? any one character; letter case is ignored.
bool matchesPattern(QStringView pattern, QStringView name) {
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern.at(p) == QLatin1Char('?') ||
                                   pattern.at(p).toUpper() == name.at(n).toUpper())) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

QString dosPathKey(QChar letter, const QStringList& components) {
    return (QString(letter) + QStringLiteral(":\\") + joinComponents(components)).toUpper();
}

// A fault of the site or from code, its path already turned into lookup keys.
struct ActiveFault {
    NWCCODE code = 0;
    int server = -1;  // the server named by the fault, -1 for any
    std::optional<quint16> connection;
    bool hasPath = false;
    QString dosKey;       // a drive-letter path as NWParsePath receives it
    QString volumeKey;    // VOL:DIR\FILE
    int pathServer = -1;  // the server the path lies on, -1 for any
};

// What a call is about, for matching faults.
struct CallSite {
    int server = -1;
    QString dosKey;
    QString volumeKey;
    std::span<const NWCONN_NUM> connections;
};

struct DirectoryHandle {
    QString server;  // upper-cased name
    QString volume;  // upper-cased name
    QStringList components;
    quint64 allocated = 0;  // order of allocation, to reuse the oldest when all are taken
};

// One entry of a directory, in directory order.
struct DirectoryEntry {
    QString name;
    QString dosName;
    QString local;  // "" when only the site's files[] knows it
    int record = -1;
    bool isDirectory = false;
};

}  // namespace

struct EmulatedNetWare::State {
    std::optional<SiteFile> file;
    SystemClock systemClock;
    const Clock* clock = &systemClock;

    NetWareSite site;
    SiteIndex index{site};
    bool loaded = false;
    QString initError;
    QString problem;
    FileStamp stamp;
    FileStamp badStamp;
    bool checkedOnce = false;
    qint64 lastCheckMs = 0;

    QList<SiteFault> injected;
    QHash<QString, QList<ActiveFault>> faults;  // by upper-cased call name

    QHash<QString, NWCONN_HANDLE> serverHandles;  // by upper-cased server name
    QHash<NWCONN_HANDLE, QString> openedHandles;
    NWCONN_HANDLE nextServerHandle = kFirstServerHandle;
    NWCONN_HANDLE nextOpenedHandle = kFirstOpenedHandle;
    QHash<NWCONN_HANDLE, int> handleServer;  // every live handle to its server's index
    QList<NWCONN_HANDLE> serverHandle;       // per server index

    QHash<NWDSContextHandle, QString> contexts;
    NWDSContextHandle nextContext = 1;

    std::array<std::optional<DirectoryHandle>, 256> directoryHandles;
    quint64 directoryHandleCount = 0;

    // ---- the site ----

    void adopt(NetWareSite newSite) {
        site = std::move(newSite);
        reindex();
    }

    void reindex() {
        index = SiteIndex(site);
        loaded = true;
        serverHandle.clear();
        handleServer.clear();
        for (int s = 0; s < site.servers.size(); ++s) {
            const QString name = site.servers.at(s).name.toUpper();
            if (!serverHandles.contains(name)) {
                serverHandles.insert(name, nextServerHandle++);
            }
            serverHandle.append(serverHandles.value(name));
            handleServer.insert(serverHandles.value(name), s);
        }
        for (auto it = openedHandles.cbegin(); it != openedHandles.cend(); ++it) {
            const int s = index.serverNamed(it.value());
            if (s >= 0) {
                handleServer.insert(it.key(), s);
            }
        }
        rebuildFaults();
    }

    void rebuildFaults() {
        faults.clear();
        const auto addAll = [this](const QList<SiteFault>& list) {
            for (const SiteFault& fault : list) {
                const NetWareCallName* call = findNetWareCall(fault.call);
                if (call == nullptr || fault.code == 0) {
                    continue;
                }
                ActiveFault active;
                active.code = fault.code;
                active.connection = fault.connection;
                if (!fault.server.isEmpty()) {
                    active.server = index.serverNamed(fault.server);
                    if (active.server < 0) {
                        continue;
                    }
                }
                if (!fault.path.isEmpty()) {
                    active.hasPath = true;
                    QChar letter;
                    QStringList components;
                    if (splitDosPath(fault.path, &letter, &components)) {
                        active.dosKey = dosPathKey(letter, components);
                    }
                    NWCCODE code = 0;
                    const std::optional<SitePath> resolved = index.resolve(fault.path, &code);
                    const std::optional<VolumePath> parsed = parseVolumePath(fault.path);
                    if (parsed && parsed->server.isEmpty()) {
                        active.volumeKey = parsed->key();  // any server with that volume
                    } else if (resolved) {
                        active.volumeKey = index.key(*resolved);
                        active.pathServer = resolved->server;
                    }
                }
                faults[QString::fromLatin1(call->name).toUpper()].append(active);
            }
        };
        addAll(injected);
        addAll(site.faults);
    }

    void refresh(bool force = false) {
        if (!file) {
            return;
        }
        const qint64 now = clock->monotonicMs();
        if (!force && checkedOnce && now - lastCheckMs < kCheckIntervalMs) {
            return;
        }
        checkedOnce = true;
        lastCheckMs = now;
        const FileStamp current = file->stamp();
        if ((loaded && current == stamp) || (badStamp.exists && current == badStamp)) {
            return;
        }
        SiteLoad load = file->load();
        if (load.site) {
            adopt(std::move(*load.site));
            stamp = load.stamp;
            badStamp = FileStamp();
            problem.clear();
            initError.clear();
            return;
        }
        badStamp = current;
        if (!loaded) {
            initError = load.error;
            return;
        }
        report(QStringLiteral("the site file changed but cannot be used; keeping the site as "
                              "it was: ") +
               load.error);
    }

    void report(const QString& text) {
        if (text != problem) {
            qWarning("%s", qPrintable(text));
        }
        problem = text;
    }

    // Makes a change the program asks for: on a site built in code directly, on a site
    // file under its lock against the file as it now is. The edit returns 0 to keep
    // the change or the call's error code.
    NWCCODE change(const std::function<NWCCODE(NetWareSite&)>& edit) {
        if (!file) {
            const NWCCODE code = edit(site);
            if (code == nwcode::kSuccessful) {
                reindex();
            }
            return code;
        }
        NWCCODE code = nwcode::kSuccessful;
        const SiteUpdate update = file->update([&](NetWareSite& fresh) {
            code = edit(fresh);
            return code == nwcode::kSuccessful ? QString() : QStringLiteral("refused");
        });
        if (update.site) {
            adopt(*update.site);
            stamp = update.stamp;
            badStamp = FileStamp();
            lastCheckMs = clock->monotonicMs();
        }
        if (code != nwcode::kSuccessful) {
            return code;
        }
        if (!update.ok) {
            report(QStringLiteral("a change could not be written to the site file: ") +
                   update.error);
            return nwcode::kDirectoryIoError;
        }
        problem.clear();
        return nwcode::kSuccessful;
    }

    // ---- lookups ----

    int serverOf(NWCONN_HANDLE conn) const { return handleServer.value(conn, -1); }

    NWCCODE fault(const char* call, const CallSite& at) const {
        if (faults.isEmpty()) {
            return nwcode::kSuccessful;
        }
        const auto it = faults.constFind(QString::fromLatin1(call).toUpper());
        if (it == faults.constEnd()) {
            return nwcode::kSuccessful;
        }
        for (const ActiveFault& f : *it) {
            if (f.server >= 0 && f.server != at.server) {
                continue;
            }
            if (f.connection && std::find(at.connections.begin(), at.connections.end(),
                                          *f.connection) == at.connections.end()) {
                continue;
            }
            if (f.hasPath) {
                const bool byDrive = !f.dosKey.isEmpty() && f.dosKey == at.dosKey;
                const bool byVolume = !f.volumeKey.isEmpty() && f.volumeKey == at.volumeKey &&
                                      (f.pathServer < 0 || f.pathServer == at.server);
                if (!byDrive && !byVolume) {
                    continue;
                }
            }
            return f.code;
        }
        return nwcode::kSuccessful;
    }

    // The server of a call on a connection handle and, for a call about one connection
    // number, where that connection stands in the server's list (-1: no such connection).
    // code, when not 0, is what the call answers instead: a fault set for the call, or an
    // unknown connection handle.
    struct ConnectionCall {
        int server = -1;
        int connection = -1;
        NWCCODE code = nwcode::kSuccessful;
    };

    ConnectionCall serverCall(const char* call, NWCONN_HANDLE conn,
                              std::span<const NWCONN_NUM> numbers = {}) {
        refresh();
        ConnectionCall result;
        result.server = serverOf(conn);
        result.code = fault(call, {result.server, {}, {}, numbers});
        if (result.code == nwcode::kSuccessful && result.server < 0) {
            result.code = nwcode::kInvalidConnection;
        }
        return result;
    }

    ConnectionCall connectionCall(const char* call, NWCONN_HANDLE conn, NWCONN_NUM number) {
        const NWCONN_NUM numbers[] = {number};
        ConnectionCall result = serverCall(call, conn, numbers);
        if (result.code == nwcode::kSuccessful) {
            result.connection = index.server(result.server).connectionByNumber.value(number, -1);
        }
        return result;
    }

    // What a call that names a path works on: the server of its connection, the path and
    // its index key. code, when not 0, is what the call answers instead: a fault set for
    // the call, or why the path does not resolve.
    struct PathCall {
        int server = -1;
        std::optional<SitePath> path;
        QString key;
        NWCCODE code = nwcode::kSuccessful;
    };

    PathCall pathCall(const char* call, NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                      const QString& text) {
        refresh();
        PathCall result;
        result.server = serverOf(conn);
        NWCCODE code = nwcode::kSuccessful;
        result.path = pathOn(result.server, dirHandle, text, &code);
        result.key = result.path ? index.key(*result.path) : QString();
        const NWCCODE faultCode = fault(call, {result.server, {}, result.key, {}});
        result.code = faultCode != nwcode::kSuccessful ? faultCode
                      : result.path                    ? nwcode::kSuccessful
                                                       : code;
        return result;
    }

    // A path a call names on a server: a volume path, or with a directory handle, a
    // path relative to the handle's directory.
    std::optional<SitePath> pathOn(int server, NWDIR_HANDLE dirHandle, const QString& path,
                                   NWCCODE* code) const {
        QString text = StripAtNul(path);
        if (server < 0) {
            *code = nwcode::kInvalidConnection;
            return std::nullopt;
        }
        if (dirHandle == 0 && !text.contains(QLatin1Char(':'))) {
            // Without a directory handle the first component names the volume, as the
            // server reads SYS\APPS (or SYS alone) for SYS:APPS (or SYS:).
            qsizetype separator = text.indexOf(QLatin1Char('\\'));
            const qsizetype slash = text.indexOf(QLatin1Char('/'));
            if (separator < 0 || (slash >= 0 && slash < separator)) {
                separator = slash;
            }
            text = separator < 0
                       ? text + QLatin1Char(':')
                       : text.left(separator) + QLatin1Char(':') + text.mid(separator + 1);
        }
        if (dirHandle == 0 || text.contains(QLatin1Char(':'))) {
            return index.resolveOn(server, text, code);
        }
        const std::optional<DirectoryHandle>& handle = directoryHandles[dirHandle];
        if (!handle || index.serverNamed(handle->server) != server) {
            *code = nwcode::kBadDirectoryHandle;
            return std::nullopt;
        }
        SitePath resolved;
        resolved.server = server;
        resolved.volume = index.server(server).volumeByName.value(handle->volume, -1);
        if (resolved.volume < 0) {
            *code = nwcode::kVolumeDoesNotExist;
            return std::nullopt;
        }
        QStringList below;
        if (!splitPathComponents(text, &below)) {
            *code = nwcode::kInvalidPath;
            return std::nullopt;
        }
        resolved.components = handle->components + below;
        *code = nwcode::kSuccessful;
        return resolved;
    }

    const SiteObject* objectOf(int server, quint32 id) const {
        const auto it = index.server(server).objectById.constFind(id);
        return it == index.server(server).objectById.constEnd()
                   ? nullptr
                   : &site.servers.at(server).objects.at(*it);
    }

    // The entries of a directory in directory order (by name, without regard to case):
    // the real files of the volume's folder and those the site's files[] adds.
    QList<DirectoryEntry> listDirectory(const SitePath& directory) const {
        QList<DirectoryEntry> entries;
        QHash<QString, int> byName;
        const QString local = index.localPath(directory);
        if (!local.isEmpty()) {
            const QFileInfoList infos = QDir(local).entryInfoList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            for (const QFileInfo& info : infos) {
                byName.insert(info.fileName().toUpper(), int(entries.size()));
                entries.append({info.fileName(), QString(), info.filePath(), -1, info.isDir()});
            }
        }
        const SiteServer& server = site.servers.at(directory.server);
        const QString directoryKey = index.key(directory);
        for (int r = 0; r < server.files.size(); ++r) {
            const std::optional<VolumePath> path = parseVolumePath(server.files.at(r).path);
            if (!path || path->components.isEmpty()) {
                continue;
            }
            const QString name = path->components.last();
            if (volumePathKey(path->volume, path->components.mid(0, path->components.size() - 1)) !=
                directoryKey) {
                continue;
            }
            const auto it = byName.constFind(name.toUpper());
            if (it != byName.constEnd()) {
                entries[*it].record = r;
            } else {
                const std::optional<quint32> attributes = server.files.at(r).attributes;
                byName.insert(name.toUpper(), int(entries.size()));
                entries.append({name, QString(), QString(), r,
                                attributes && (*attributes & kDirectoryAttribute) != 0});
            }
        }
        std::sort(entries.begin(), entries.end(),
                  [](const DirectoryEntry& a, const DirectoryEntry& b) {
                      const int order = a.name.compare(b.name, Qt::CaseInsensitive);
                      return order != 0 ? order < 0 : a.name < b.name;
                  });
        QStringList names;
        QStringList given;
        for (const DirectoryEntry& entry : entries) {
            names.append(entry.name);
            given.append(entry.record >= 0 ? server.files.at(entry.record).dosName : QString());
        }
        const QStringList dosNames = dosNamesOf(names, given);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            entries[i].dosName = dosNames.at(i);
        }
        return entries;
    }

    // The workstation user's object on a server, 0 when it has no connection there.
    quint32 workstationObject(int server) const {
        const int connection = index.server(server).workstationConnection;
        return connection < 0 ? 0 : site.servers.at(server).connections.at(connection).object;
    }
};

// ---- construction and the site ----

EmulatedNetWare::EmulatedNetWare(NetWareSite site) : d(std::make_unique<State>()) {
    const QString problem = checkSite(site);
    if (!problem.isEmpty()) {
        d->initError = QStringLiteral("the site is not sound: ") + problem;
        return;
    }
    d->adopt(std::move(site));
}

EmulatedNetWare::EmulatedNetWare(const QString& siteFilePath) : d(std::make_unique<State>()) {
    d->file.emplace(siteFilePath);
    d->refresh(true);
}

EmulatedNetWare::~EmulatedNetWare() = default;

void EmulatedNetWare::setClock(const Clock& clock) {
    d->clock = &clock;
    d->checkedOnce = false;
}

const NetWareSite& EmulatedNetWare::site() const {
    d->refresh();
    return d->site;
}

QString EmulatedNetWare::setSite(NetWareSite site) {
    const QString problem = checkSite(site);
    if (!problem.isEmpty()) {
        return problem;
    }
    site.folder = site.folder.isEmpty() ? d->site.folder : site.folder;
    d->adopt(std::move(site));
    d->initError.clear();
    return QString();
}

QString EmulatedNetWare::siteFilePath() const {
    return d->file ? d->file->path() : QString();
}

QString EmulatedNetWare::siteProblem() const {
    d->refresh();
    return d->problem;
}

QString EmulatedNetWare::addFault(const SiteFault& fault) {
    if (findNetWareCall(fault.call) == nullptr) {
        return QStringLiteral("%1 is not a NetWare call of the client").arg(fault.call);
    }
    if (fault.code == 0) {
        return QStringLiteral("a fault needs a non-zero code");
    }
    d->injected.append(fault);
    d->rebuildFaults();
    return QString();
}

void EmulatedNetWare::clearFaults() {
    d->injected.clear();
    d->rebuildFaults();
}

NWCONN_HANDLE EmulatedNetWare::connectionHandle(const QString& serverName) const {
    d->refresh();
    const int s = d->index.serverNamed(serverName);
    return s < 0 ? 0 : d->serverHandle.at(s);
}

QList<MappedDrive> EmulatedNetWare::drives() const {
    d->refresh();
    return d->index.drives();
}

// ---- start-up and paths ----

NWCCODE EmulatedNetWare::NWCallsInit() {
    d->refresh(true);
    if (!d->loaded) {
        return nwcode::kClientNotPresent;
    }
    const NWCCODE code = d->fault("NWCallsInit", {});
    if (code != nwcode::kSuccessful) {
        d->initError = QStringLiteral("the site makes NWCallsInit fail with code 0x") +
                       QString::number(quint32(code), 16).toUpper();
        return code;
    }
    d->initError.clear();
    return nwcode::kSuccessful;
}

QString EmulatedNetWare::initFailureReason() const {
    return d->initError;
}

NWCCODE EmulatedNetWare::NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& conn,
                                     QString& volName, QString& dirPath) {
    d->refresh();
    const QString text = StripAtNul(path);
    NWCCODE code = nwcode::kSuccessful;
    const std::optional<SitePath> resolved = d->index.resolve(text, &code);
    if (!d->faults.isEmpty()) {
        CallSite at;
        QChar letter;
        QStringList components;
        if (splitDosPath(text, &letter, &components)) {
            at.dosKey = dosPathKey(letter, components);
        }
        if (resolved) {
            at.server = resolved->server;
            at.volumeKey = d->index.key(*resolved);
        }
        const NWCCODE faultCode = d->fault("NWParsePath", at);
        if (faultCode != nwcode::kSuccessful) {
            return faultCode;
        }
    }
    if (!resolved) {
        return code;
    }
    const SiteServer& server = d->site.servers.at(resolved->server);
    serverName = server.name;
    conn = d->serverHandle.at(resolved->server);
    volName = server.volumes.at(resolved->volume).name;
    dirPath = joinComponents(resolved->components);
    return nwcode::kSuccessful;
}

// ---- connections ----

NWCCODE EmulatedNetWare::NWScanConnectionsUsingFile(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                    const QString& filePath, qint16& iterHandle,
                                                    ConnUsingFile& fileUse,
                                                    ConnsUsingFile& fileUsed) {
    const State::PathCall call =
        d->pathCall("NWScanConnectionsUsingFile", conn, dirHandle, filePath);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const QString& key = call.key;
    if (iterHandle < 0) {
        return nwcode::kNoMoreEntries;
    }
    // The iteration handle is one more than the number of entries already answered, so
    // that the first call (0) always answers, even for a file nobody has open.
    const qsizetype start = iterHandle == 0 ? 0 : iterHandle - 1;
    const SiteIndex::Server& index = d->index.server(s);
    const auto it = index.openFilesByPath.constFind(key);
    static const QList<int> none;
    const QList<int>& entries = it == index.openFilesByPath.constEnd() ? none : *it;
    if (iterHandle != 0 && start >= entries.size()) {
        return nwcode::kNoMoreEntries;
    }
    const QList<SiteOpenFile>& openFiles = d->site.servers.at(s).openFiles;
    const qsizetype count = std::min<qsizetype>(kConnsPerAnswer, entries.size() - start);
    if (start + count + 1 > 0x7FFF) {
        return nwcode::kNoMoreEntries;  // beyond what a 16-bit handle can carry
    }
    fileUsed = ConnsUsingFile();
    for (int e : entries) {
        const SiteOpenFile& open = openFiles.at(e);
        fileUsed.openForReadCount += (open.accessControl & 0x01) ? 1 : 0;
        fileUsed.openForWriteCount += (open.accessControl & 0x02) ? 1 : 0;
        fileUsed.denyReadCount += (open.accessControl & 0x04) ? 1 : 0;
        fileUsed.denyWriteCount += (open.accessControl & 0x08) ? 1 : 0;
        fileUsed.locked = fileUsed.locked || open.locked;
    }
    fileUsed.useCount = quint16(entries.size());
    fileUsed.openCount = quint16(entries.size());
    fileUsed.connCount = quint16(count);
    for (qsizetype i = 0; i < count; ++i) {
        const SiteOpenFile& open = openFiles.at(entries.at(start + i));
        ConnUsingFile& entry = fileUsed.connInfo[i];
        entry.connNumber = open.connection;
        entry.taskNumber = open.task;
        entry.lockType = open.lockType;
        entry.accessControl = open.accessControl;
        entry.lockFlag = open.locked ? kLockedFlag : 0;
    }
    fileUsed.nextRequest = quint16(start + count);
    fileUse = count > 0 ? fileUsed.connInfo[0] : ConnUsingFile();
    iterHandle = qint16(start + count + 1);
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWGetConnectionInformation(NWCONN_HANDLE conn, NWCONN_NUM connNumber,
                                                    QString& objectName, quint16& objectType,
                                                    quint32& objectID, LoginTime& loginTime) {
    const State::ConnectionCall call =
        d->connectionCall("NWGetConnectionInformation", conn, connNumber);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const SiteIndex::Server& index = d->index.server(s);
    if (call.connection < 0) {
        return nwcode::kBadStationNumber;
    }
    const SiteConnection& connection = d->site.servers.at(s).connections.at(call.connection);
    const SiteObject* object = d->objectOf(s, connection.object);
    if (object == nullptr) {
        return nwcode::kNoSuchObject;
    }
    objectName = object->name;
    objectType = object->type;
    objectID = object->id;
    loginTime = index.loginTimes.at(call.connection);
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWGetInetAddr(NWCONN_HANDLE conn, NWCONN_NUM connNumber, InetAddr& addr) {
    const State::ConnectionCall call = d->connectionCall("NWGetInetAddr", conn, connNumber);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    if (call.connection < 0) {
        return nwcode::kBadStationNumber;
    }
    const SiteAddress& address =
        d->site.servers.at(call.server).connections.at(call.connection).address;
    addr.networkAddr = address.net;
    addr.netNodeAddr = address.node;
    addr.socket = address.socket;
    addr.connType = {address.type, 0};
    return nwcode::kSuccessful;
}

// ---- directory service ----

NWCCODE EmulatedNetWare::NWDSCreateContextHandle(NWDSContextHandle& context) {
    const NWCCODE faultCode = d->fault("NWDSCreateContextHandle", {});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    context = d->nextContext++;
    if (d->nextContext == 0) {
        d->nextContext = 1;
    }
    d->contexts.insert(context, QString());
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWDSSetContext(NWDSContextHandle context, int key,
                                        const QByteArray& value) {
    const NWCCODE faultCode = d->fault("NWDSSetContext", {});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    const auto it = d->contexts.find(context);
    if (it == d->contexts.end()) {
        return nwcode::kDsBadContext;
    }
    if (key == kDsContextNameKey) {
        *it = BytesToString(value);
    }
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                         const QString& objectName, quint32& objectID) {
    d->refresh();
    const int s = d->serverOf(conn);
    const NWCCODE faultCode = d->fault("NWDSMapNameToID", {s, {}, {}, {}});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    const auto contextIt = d->contexts.constFind(context);
    if (contextIt == d->contexts.constEnd()) {
        return nwcode::kDsBadContext;
    }
    if (s < 0) {
        return nwcode::kInvalidConnection;
    }
    if (d->site.servers.at(s).version <= 3) {
        return nwcode::kDsNotAvailable;
    }
    const SiteIndex::Server& index = d->index.server(s);
    const QString name = StripAtNul(objectName).toUpper();
    const QString base = contextIt->toUpper();
    int found = -1;
    if (name.startsWith(QLatin1Char('.'))) {
        found = index.objectByDsName.value(name.mid(1), -1);
    } else if (base.isEmpty() || base == QLatin1String("[ROOT]")) {
        found = index.objectByDsName.value(name, -1);
        if (found < 0) {
            found = index.objectByName.value(name, -1);
        }
    } else {
        found = index.objectByDsName.value(name + QLatin1Char('.') + base, -1);
        if (found < 0) {
            found = index.objectByDsName.value(name, -1);
        }
    }
    if (found < 0) {
        return nwcode::kDsNoSuchEntry;
    }
    objectID = d->site.servers.at(s).objects.at(found).id;
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn,
                                         quint32 objectID, QByteArray& objectName) {
    d->refresh();
    const int s = d->serverOf(conn);
    const NWCCODE faultCode = d->fault("NWDSMapIDToName", {s, {}, {}, {}});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    if (!d->contexts.contains(context)) {
        return nwcode::kDsBadContext;
    }
    if (s < 0) {
        return nwcode::kInvalidConnection;
    }
    if (d->site.servers.at(s).version <= 3) {
        return nwcode::kDsNotAvailable;
    }
    const SiteObject* object = d->objectOf(s, objectID);
    if (object == nullptr) {
        return nwcode::kDsNoSuchEntry;
    }
    putText(objectName, object->dsName.isEmpty() ? object->name : object->dsName);
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWDSFreeContext(NWDSContextHandle context) {
    const NWCCODE faultCode = d->fault("NWDSFreeContext", {});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    return d->contexts.remove(context) ? nwcode::kSuccessful : nwcode::kDsBadContext;
}

// ---- trustees ----

NWCCODE EmulatedNetWare::NWGetVolumeNumber(NWCONN_HANDLE conn, const QString& volName,
                                           quint16& volNum) {
    d->refresh();
    const int s = d->serverOf(conn);
    const QString name = StripAtNul(volName);
    const NWCCODE faultCode = d->fault("NWGetVolumeNumber", {s, {}, volumePathKey(name, {}), {}});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    if (s < 0) {
        return nwcode::kInvalidConnection;
    }
    const int v = d->index.server(s).volumeByName.value(name.toUpper(), -1);
    if (v < 0) {
        return nwcode::kVolumeDoesNotExist;
    }
    volNum = d->site.servers.at(s).volumes.at(v).number;
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWScanObjectTrusteePaths(NWCONN_HANDLE conn, quint32 objectID,
                                                  quint16 volNum, quint16& iterHandle,
                                                  quint8& accessRights, QByteArray& trusteePath) {
    const State::ConnectionCall call = d->serverCall("NWScanObjectTrusteePaths", conn);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const SiteIndex::Server& index = d->index.server(s);
    if (!index.volumeByNumber.contains(volNum)) {
        return nwcode::kVolumeDoesNotExist;
    }
    if (d->objectOf(s, objectID) == nullptr) {
        return nwcode::kNoSuchObject;
    }
    // The handle is the position in the server's trustee list of the path answered
    // last, so enumeration keeps the site file's order.
    const QList<int> entries =
        index.trusteesByObjectVolume.value(SiteIndex::trusteeKey(objectID, volNum));
    const auto next = iterHandle == 0xFFFF
                          ? entries.cbegin()
                          : std::upper_bound(entries.cbegin(), entries.cend(), int(iterHandle));
    if (next == entries.cend()) {
        accessRights = 0;
        if (!trusteePath.isEmpty()) {
            trusteePath[0] = '\0';
        } else {
            trusteePath = QByteArray(1, '\0');
        }
        iterHandle = 0xFFFF;
        return nwcode::kSuccessful;
    }
    const SiteTrustee& trustee = d->site.servers.at(s).trustees.at(*next);
    const std::optional<VolumePath> path = parseVolumePath(trustee.path);
    const int v = index.volumeByName.value(path->volume.toUpper());
    putText(trusteePath, d->site.servers.at(s).volumes.at(v).name + QLatin1Char(':') +
                             joinComponents(path->components));
    accessRights = quint8(trustee.rights);
    iterHandle = quint16(*next);
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWScanDirectoryForTrustees2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                     const QString& searchPath, quint32& iterHandle,
                                                     QByteArray& dirName, quint32& dirDateTime,
                                                     quint32& ownerID, TrusteeList& trusteeList) {
    const State::PathCall call =
        d->pathCall("NWScanDirectoryForTrustees2", conn, dirHandle, searchPath);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const QString& key = call.key;
    const std::optional<SitePath>& path = call.path;
    const SiteIndex::Server& index = d->index.server(s);
    const auto it = index.trusteesByPath.constFind(key);
    const qsizetype total = it == index.trusteesByPath.constEnd() ? 0 : it->size();
    if (iterHandle >= quint32(total)) {
        return nwcode::kNoMoreTrustees;
    }
    const SiteServer& server = d->site.servers.at(s);
    const qsizetype count = std::min<qsizetype>(kTrusteesPerAnswer, total - iterHandle);
    trusteeList = TrusteeList();
    for (qsizetype i = 0; i < count; ++i) {
        const SiteTrustee& trustee = server.trustees.at(it->at(iterHandle + i));
        trusteeList[i] = {trustee.object, trustee.rights};
    }
    iterHandle += quint32(count);
    // The directory's name as the site spells it.
    const std::optional<VolumePath> spelled = parseVolumePath(server.trustees.at(it->first()).path);
    putText(dirName, !spelled || spelled->components.isEmpty()
                         ? server.volumes.at(path->volume).name
                         : spelled->components.last());
    const auto record = index.fileByPath.constFind(key);
    if (record != index.fileByPath.constEnd()) {
        const SiteFileRecord& file = server.files.at(*record);
        dirDateTime = packNetWareDateTime(file.created);
        ownerID = file.owner;
    } else {
        dirDateTime = 0;
        ownerID = 0;
    }
    return nwcode::kSuccessful;
}

// ---- actions ----

NWCCODE EmulatedNetWare::NWSendBroadcastMessage(NWCONN_HANDLE conn, const QByteArray& message,
                                                std::span<const NWCONN_NUM> connList,
                                                std::span<quint8> resultList) {
    d->refresh();
    const int s = d->serverOf(conn);
    const NWCCODE faultCode = d->fault("NWSendBroadcastMessage", {s, {}, {}, connList});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    if (s < 0) {
        return nwcode::kInvalidConnection;
    }
    const QString serverName = d->site.servers.at(s).name;
    const QString text = BytesToString(message);
    const QDateTime now = d->clock->now();
    QList<quint8> results;
    const NWCCODE code = d->change([&](NetWareSite& site) {
        results.clear();
        SiteServer* server = nullptr;
        for (SiteServer& candidate : site.servers) {
            if (candidate.name.compare(serverName, Qt::CaseInsensitive) == 0) {
                server = &candidate;
            }
        }
        if (server == nullptr) {
            return nwcode::kInvalidConnection;
        }
        for (NWCONN_NUM number : connList) {
            const auto connection =
                std::find_if(server->connections.cbegin(), server->connections.cend(),
                             [&](const SiteConnection& c) { return c.number == number; });
            if (connection == server->connections.cend()) {
                results.append(nwbroadcast::kNoSuchConnection);
            } else if (!connection->acceptsMessages) {
                results.append(nwbroadcast::kRefused);
            } else {
                results.append(nwbroadcast::kDelivered);
                site.messages.append({server->name, number, text, now});
            }
        }
        return nwcode::kSuccessful;
    });
    for (qsizetype i = 0; i < results.size() && i < qsizetype(resultList.size()); ++i) {
        resultList[i] = results.at(i);
    }
    return code;
}

NWCCODE EmulatedNetWare::NWClearConnectionNumber(NWCONN_HANDLE conn, NWCONN_NUM connNumber) {
    const State::ConnectionCall call =
        d->connectionCall("NWClearConnectionNumber", conn, connNumber);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const QString serverName = d->site.servers.at(s).name;
    return d->change([&](NetWareSite& site) {
        for (SiteServer& server : site.servers) {
            if (server.name.compare(serverName, Qt::CaseInsensitive) != 0) {
                continue;
            }
            const qsizetype removed = server.connections.removeIf(
                [&](const SiteConnection& c) { return c.number == connNumber; });
            if (removed == 0) {
                return nwcode::kBadStationNumber;
            }
            server.openFiles.removeIf(
                [&](const SiteOpenFile& f) { return f.connection == connNumber; });
            site.workstation.removeIf([&](const SiteWorkstationConnection& w) {
                return w.number == connNumber &&
                       w.server.compare(serverName, Qt::CaseInsensitive) == 0;
            });
            return nwcode::kSuccessful;
        }
        return nwcode::kInvalidConnection;
    });
}

NWCCODE EmulatedNetWare::NWAllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                         const QString& dirPath,
                                                         NWDIR_HANDLE& newDirHandle,
                                                         quint8& rightsMask) {
    const State::PathCall call =
        d->pathCall("NWAllocTemporaryDirectoryHandle", conn, dirHandle, dirPath);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const std::optional<SitePath>& path = call.path;
    // A volume with a folder behind it has the directories of that folder; one without
    // (a site built only in code) has whatever directory it is asked for.
    if (!d->index.server(s).volumeRoots.at(path->volume).isEmpty()) {
        const QString local = d->index.localPath(*path);
        if (local.isEmpty() || !QFileInfo(local).isDir()) {
            return nwcode::kInvalidPath;
        }
    }
    // Temporary handles are few (8 bits); when all are taken the oldest is reused, as
    // callers that never release theirs would otherwise run out.
    int slot = -1;
    for (int h = 1; h < int(d->directoryHandles.size()) && slot < 0; ++h) {
        if (!d->directoryHandles[h]) {
            slot = h;
        }
    }
    if (slot < 0) {
        slot = 1;
        for (int h = 2; h < int(d->directoryHandles.size()); ++h) {
            if (d->directoryHandles[h]->allocated < d->directoryHandles[slot]->allocated) {
                slot = h;
            }
        }
    }
    const SiteServer& server = d->site.servers.at(s);
    d->directoryHandles[slot] =
        DirectoryHandle{server.name.toUpper(), server.volumes.at(path->volume).name.toUpper(),
                        path->components, ++d->directoryHandleCount};
    const quint32 user = d->workstationObject(s);
    const quint16 rights = user == 0 ? 0 : d->index.effectiveRights(s, user, *path);
    newDirHandle = NWDIR_HANDLE(slot);
    rightsMask = (rights & kSupervisorRight) ? 0xFF : quint8(rights);
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) {
    const State::ConnectionCall call = d->serverCall("NWDeallocateDirectoryHandle", conn);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    std::optional<DirectoryHandle>& handle = d->directoryHandles[dirHandle];
    if (dirHandle == 0 || !handle || d->index.serverNamed(handle->server) != s) {
        return nwcode::kBadDirectoryHandle;
    }
    handle.reset();
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWClearFileLock2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                          const QString& path) {
    const State::PathCall call = d->pathCall("NWClearFileLock2", conn, dirHandle, path);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const QString& key = call.key;
    const QString serverName = d->site.servers.at(s).name;
    return d->change([&](NetWareSite& site) {
        for (SiteServer& server : site.servers) {
            if (server.name.compare(serverName, Qt::CaseInsensitive) != 0) {
                continue;
            }
            for (SiteOpenFile& open : server.openFiles) {
                const std::optional<VolumePath> openPath = parseVolumePath(open.path);
                if (open.locked && openPath && openPath->key() == key) {
                    open.locked = false;
                }
            }
            return nwcode::kSuccessful;
        }
        return nwcode::kInvalidConnection;
    });
}

NWCCODE EmulatedNetWare::NWClearFileLockSet(NWCONN_HANDLE conn) {
    d->refresh();
    const int s = conn == 0 ? -1 : d->serverOf(conn);
    const NWCCODE faultCode = d->fault("NWClearFileLockSet", {s, {}, {}, {}});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    if (conn != 0 && s < 0) {
        return nwcode::kInvalidConnection;
    }
    const QString serverName = s < 0 ? QString() : d->site.servers.at(s).name;
    return d->change([&](NetWareSite& site) {
        for (const SiteWorkstationConnection& own : site.workstation) {
            if (!serverName.isEmpty() && own.server.compare(serverName, Qt::CaseInsensitive) != 0) {
                continue;
            }
            for (SiteServer& server : site.servers) {
                if (server.name.compare(own.server, Qt::CaseInsensitive) != 0) {
                    continue;
                }
                for (SiteOpenFile& open : server.openFiles) {
                    if (open.connection == own.number) {
                        open.locked = false;
                    }
                }
            }
        }
        return nwcode::kSuccessful;
    });
}

// ---- extended file information ----

NWCCODE EmulatedNetWare::NWCCOpenConnByName(NWCONN_HANDLE startConn, const QString& name,
                                            quint32 nameFormat, quint32 openState, quint32 tranType,
                                            NWCONN_HANDLE& conn) {
    Q_UNUSED(startConn)
    Q_UNUSED(nameFormat)
    Q_UNUSED(openState)
    Q_UNUSED(tranType)
    d->refresh();
    const int s = d->index.serverNamed(StripAtNul(name));
    const NWCCODE faultCode = d->fault("NWCCOpenConnByName", {s, {}, {}, {}});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    if (s < 0) {
        return nwcode::kNoSuchObject;  // the unknown-server answer of a bindery lookup
    }
    const NWCONN_HANDLE handle = d->nextOpenedHandle++;
    d->openedHandles.insert(handle, d->site.servers.at(s).name.toUpper());
    d->handleServer.insert(handle, s);
    conn = handle;
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWCCCloseConn(NWCONN_HANDLE conn) {
    const int s = d->serverOf(conn);
    const NWCCODE faultCode = d->fault("NWCCCloseConn", {s, {}, {}, {}});
    if (faultCode != nwcode::kSuccessful) {
        return faultCode;
    }
    if (d->openedHandles.remove(conn)) {
        d->handleServer.remove(conn);
        return nwcode::kSuccessful;
    }
    // The workstation's own connection stays attached.
    return s >= 0 ? nwcode::kSuccessful : nwcode::kInvalidConnection;
}

NWCCODE EmulatedNetWare::NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                       const QString& path, quint8 srcNamSpc, quint8 dstNamSpc,
                                       QByteArray& longName) {
    const State::PathCall call = d->pathCall("NWGetLongName", conn, dirHandle, path);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const std::optional<SitePath>& file = call.path;
    if (file->components.isEmpty()) {
        return nwcode::kInvalidPath;
    }
    SitePath directory = *file;
    const QString name = directory.components.takeLast();
    for (const DirectoryEntry& entry : d->listDirectory(directory)) {
        const QString& known = srcNamSpc == nwnamespace::kDos ? entry.dosName : entry.name;
        if (known.compare(name, Qt::CaseInsensitive) == 0) {
            putText(longName, dstNamSpc == nwnamespace::kDos ? entry.dosName : entry.name);
            return nwcode::kSuccessful;
        }
    }
    return nwcode::kInvalidPath;
}

NWCCODE EmulatedNetWare::NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                               quint8 searchAttrs, quint32& iterHandle,
                                               const QString& searchPattern,
                                               ExtendedInfo& entryInfo, quint8 augmentFlag) {
    Q_UNUSED(augmentFlag)
    // The pattern is a name in the handle's directory, or a whole volume path.
    const State::PathCall call =
        d->pathCall("NWIntScanExtendedInfo", conn, dirHandle, searchPattern);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const std::optional<SitePath>& target = call.path;
    if (target->components.isEmpty()) {
        return nwcode::kInvalidPath;
    }
    SitePath directory = *target;
    const QString pattern = directory.components.takeLast();
    const QList<DirectoryEntry> entries = d->listDirectory(directory);
    const SiteServer& server = d->site.servers.at(s);
    const qsizetype first = iterHandle == 0xFFFFFFFF ? 0 : qsizetype(iterHandle) + 1;
    for (qsizetype i = first; i < entries.size(); ++i) {
        const DirectoryEntry& entry = entries.at(i);
        if (!matchesPattern(pattern, entry.dosName)) {
            continue;
        }
        const SiteFileRecord* record = entry.record >= 0 ? &server.files.at(entry.record) : nullptr;
        const QFileInfo info(entry.local);
        const bool onDisk = !entry.local.isEmpty() && info.exists();
        quint32 attributes = entry.isDirectory ? kDirectoryAttribute : kDefaultFileAttributes;
        if (record != nullptr && record->attributes) {
            attributes = *record->attributes;
        }
        if (((attributes & kHiddenAttribute) && !(searchAttrs & kHiddenAttribute)) ||
            ((attributes & kSystemAttribute) && !(searchAttrs & kSystemAttribute)) ||
            ((attributes & kDirectoryAttribute) && !(searchAttrs & kDirectoryAttribute))) {
            continue;
        }
        QDateTime created;
        QDateTime modified;
        QDate accessed;
        if (onDisk) {
            modified = info.lastModified();
            created = info.birthTime().isValid() ? info.birthTime() : modified;
            accessed = info.lastRead().date();
        }
        QDateTime archived;
        quint32 owner = 0;
        quint32 archiver = 0;
        quint32 modifier = 0;
        if (record != nullptr) {
            created = record->created.isValid() ? record->created : created;
            modified = record->modified.isValid() ? record->modified : modified;
            accessed = record->accessed.isValid() ? record->accessed : accessed;
            archived = record->archived;
            owner = record->owner;
            archiver = record->archiver;
            modifier = record->modifier;
        }
        entryInfo.fill(0);
        writeLe32(entryInfo, extinfo::kSequence, quint32(i + 1));
        writeLe32(entryInfo, extinfo::kAttributes, attributes);
        const QByteArray dosName = entry.dosName.toLatin1().left(int(extinfo::kNameSize));
        entryInfo[extinfo::kNameLength] = quint8(dosName.size());
        std::memcpy(entryInfo.data() + extinfo::kName, dosName.constData(), size_t(dosName.size()));
        writeLe32(entryInfo, extinfo::kCreated, packNetWareDateTime(created));
        writeLe32(entryInfo, extinfo::kOwner, owner);
        writeLe32(entryInfo, extinfo::kArchived, packNetWareDateTime(archived));
        writeLe32(entryInfo, extinfo::kArchiver, archiver);
        writeLe32(entryInfo, extinfo::kModified, packNetWareDateTime(modified));
        writeLe32(entryInfo, extinfo::kModifier, modifier);
        writeLe32(
            entryInfo, extinfo::kDataSize,
            onDisk && !entry.isDirectory ? quint32(std::min<qint64>(info.size(), 0xFFFFFFFF)) : 0);
        writeLe16(entryInfo, extinfo::kAccessed, packNetWareDate(accessed));
        iterHandle = quint32(i);
        return nwcode::kSuccessful;
    }
    return nwcode::kNoMatchingFiles;
}

NWCCODE EmulatedNetWare::NWGetFileServerVersionInfo(NWCONN_HANDLE conn, VersionInfo& versionInfo) {
    const State::ConnectionCall call = d->serverCall("NWGetFileServerVersionInfo", conn);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const SiteServer& server = d->site.servers.at(s);
    versionInfo.fill(0);
    const QByteArray name = server.name.toLatin1().left(int(kFileServiceVersionOffset) - 1);
    std::memcpy(versionInfo.data(), name.constData(), size_t(name.size()));
    versionInfo[kFileServiceVersionOffset] = quint8(server.version);
    return nwcode::kSuccessful;
}

NWCCODE EmulatedNetWare::NWGetObjectName(NWCONN_HANDLE conn, quint32 objectID,
                                         QByteArray& objectName, quint16& objectType) {
    const State::ConnectionCall call = d->serverCall("NWGetObjectName", conn);
    if (call.code != nwcode::kSuccessful) {
        return call.code;
    }
    const int s = call.server;
    const SiteObject* object = d->objectOf(s, objectID);
    if (object == nullptr) {
        return nwcode::kNoSuchObject;
    }
    putText(objectName, object->name);
    objectType = object->type;
    return nwcode::kSuccessful;
}

}  // namespace tavrel
