#include "fileinfo/FileInfoReader.h"

#include "common/DriveMap.h"
#include "common/Module1.h"
#include "external/netware/NetWareClient.h"

namespace tavrel {

namespace {

constexpr quint8 kSearchHiddenAndSystem = 6;
constexpr quint32 kFirstIteration = 0xFFFFFFFF;
constexpr int kDosNameSize = 16;
constexpr int kDirectoryNameSize = 256;
constexpr int kBinderyNameSize = 64;
constexpr int kDirectoryServiceFromVersion = 4;

// The name part of a drive-letter path, in capitals, as the messages give it.
QString messageName(const QString& filePath) {
    return filePath.mid(filePath.lastIndexOf(QLatin1Char('\\')) + 1).toUpper();
}

}  // namespace

QString fileInfoMessage(FileInfoFailure failure, const QString& filePath) {
    switch (failure) {
        case FileInfoFailure::None:
            break;
        case FileInfoFailure::FileMissing:
            return QStringLiteral("Error! File ") + messageName(filePath) +
                   QStringLiteral(" does not exist.");
        case FileInfoFailure::ParseFailed:
            return QStringLiteral("Error! Could not parse the path for file ") +
                   messageName(filePath) + QLatin1Char('.');
        case FileInfoFailure::NoConnection:
            return QStringLiteral("Cannot open connection to the given server.");
        case FileInfoFailure::NoDirectoryHandle:
            return QStringLiteral("Cannot create directory handle.");
        case FileInfoFailure::ScanFailed:
            return QStringLiteral("Scan for extended file info failed.");
    }
    return QString();
}

bool fileInfoClosesWindow(FileInfoFailure failure) {
    return failure == FileInfoFailure::NoConnection ||
           failure == FileInfoFailure::NoDirectoryHandle || failure == FileInfoFailure::ScanFailed;
}

QString fileInfoPath(const QString& infoCallerForm, const QString& editorFolder,
                     const QString& editorFile, const QString& selectedNodeText) {
    if (infoCallerForm.toLower() == QLatin1String("frmfile")) {
        return editorFolder.endsWith(QLatin1Char('\\'))
                   ? editorFolder + editorFile
                   : editorFolder + QLatin1Char('\\') + editorFile;
    }
    if (selectedNodeText.endsWith(QLatin1Char(']'))) {
        return selectedNodeText.left(selectedNodeText.indexOf(QLatin1Char('[')));
    }
    return selectedNodeText;
}

FileInfoResult readFileInfo(NetWareClient& netware, const DriveMap& drives,
                            const QString& filePath) {
    FileInfoResult result;
    result.fields.FilePath = filePath;
    if (!FileExists(drives, filePath)) {
        result.failure = FileInfoFailure::FileMissing;
        return result;
    }
    QString server;
    NWCONN_HANDLE conn = 0;
    QString volume;
    QString directory;
    if (netware.NWParsePath(filePath, server, conn, volume, directory) != nwcode::kSuccessful) {
        result.failure = FileInfoFailure::ParseFailed;
        return result;
    }
    const QString fullPath = StripAtNul(server) + QLatin1Char('\\') + StripAtNul(volume) +
                             QLatin1Char(':') + StripAtNul(directory);
    result = GetFileInfo(netware, fullPath);
    result.fields.FilePath = filePath;
    return result;
}

FileInfoResult GetFileInfo(NetWareClient& netware, const QString& fullPath) {
    FileInfoResult result;
    const FullPathParts parts = splitFullPath(fullPath);

    NWCONN_HANDLE conn = 0;
    if (netware.NWCCOpenConnByName(0, parts.server, kNameFormatBindery, kOpenStateNormal,
                                   kAnyTransport, conn) != nwcode::kSuccessful) {
        result.failure = FileInfoFailure::NoConnection;
        return result;
    }
    NWDIR_HANDLE dirHandle = 0;
    quint8 rights = 0;
    if (netware.NWAllocTemporaryDirectoryHandle(conn, 0, parts.directory, dirHandle, rights) !=
        nwcode::kSuccessful) {
        netware.NWCCCloseConn(conn);
        result.failure = FileInfoFailure::NoDirectoryHandle;
        return result;
    }
    const auto release = [&] {
        netware.NWDeallocateDirectoryHandle(conn, dirHandle);
        netware.NWCCCloseConn(conn);
    };

    QByteArray dosBuffer(kDosNameSize, '\0');
    netware.NWGetLongName(conn, dirHandle, parts.name, nwnamespace::kLong, nwnamespace::kDos,
                          dosBuffer);
    const QString dosName = BytesToString(dosBuffer);
    ExtendedInfo record{};
    quint32 iteration = kFirstIteration;
    // With no DOS name the scan would take an empty pattern and could answer with another
    // file's record.
    if (dosName.isEmpty() ||
        netware.NWIntScanExtendedInfo(conn, dirHandle, kSearchHiddenAndSystem, iteration, dosName,
                                      record, 0) != nwcode::kSuccessful) {
        release();
        result.failure = FileInfoFailure::ScanFailed;
        return result;
    }
    VersionInfo version{};
    netware.NWGetFileServerVersionInfo(conn, version);
    const bool directoryService =
        version[kFileServiceVersionOffset] >= kDirectoryServiceFromVersion;
    const auto nameOf = [&](quint32 id) {
        return directoryService ? DirectoryNameOfID(netware, id, conn)
                                : BinderyNameOfID(netware, id, conn);
    };

    FileInfoFields& fields = result.fields;
    fields.FullPath = fullPath;
    fields.name = parts.name;
    fields.record = decodeExtendedInfo(record);
    fields.ownerName = nameOf(fields.record.owner);
    fields.archiverName = nameOf(fields.record.archiver);
    fields.modifierName = nameOf(fields.record.modifier);
    release();
    return result;
}

QString DirectoryNameOfID(NetWareClient& netware, quint32 objectID, NWCONN_HANDLE conn) {
    NWDSContextHandle context = 0;
    netware.NWDSCreateContextHandle(context);
    QByteArray buffer(kDirectoryNameSize, '\0');
    const NWCCODE code = netware.NWDSMapIDToName(context, conn, objectID, buffer);
    netware.NWDSFreeContext(context);
    return code == nwcode::kSuccessful ? BytesToString(buffer) : QStringLiteral("?");
}

QString BinderyNameOfID(NetWareClient& netware, quint32 objectID, NWCONN_HANDLE conn) {
    QByteArray buffer(kBinderyNameSize, '\0');
    quint16 type = 0;
    return netware.NWGetObjectName(conn, objectID, buffer, type) == nwcode::kSuccessful
               ? BytesToString(buffer)
               : QStringLiteral("?");
}

}  // namespace tavrel
