#pragma once

#include <QString>

#include "external/netware/NetWareRecords.h"
#include "fileinfo/FileInfoRecord.h"

namespace tavrel {

class DriveMap;
class NetWareClient;

// Why the extended information of a file could not be read.
enum class FileInfoFailure {
    None,
    FileMissing,        // the file does not exist: the window opens empty
    ParseFailed,        // its path is not on a file server: the window opens empty
    NoConnection,       // the server could not be reached: the window closes
    NoDirectoryHandle,  // its directory could not be opened: the window closes
    ScanFailed,         // the server gave no record: the window closes
};

struct FileInfoResult {
    FileInfoFailure failure = FileInfoFailure::None;
    FileInfoFields fields;  // FilePath always; the rest only without a failure
};

// The message shown for a failure ("" for None); filePath names the file in the first two.
QString fileInfoMessage(FileInfoFailure failure, const QString& filePath);
// True for the failures after which the window does not stay open.
bool fileInfoClosesWindow(FileInfoFailure failure);

// The file the window describes: the editor's folder and picked name while the editor
// opened it (InfoCallerForm "frmFile" in any case), otherwise the selected tree node's
// path (its text without the scan's bracketed suffix).
QString fileInfoPath(const QString& infoCallerForm, const QString& editorFolder,
                     const QString& editorFile, const QString& selectedNodeText);

// Reads a file named in drive-letter form: checks that it exists, finds its server path
// (NWParsePath) and runs GetFileInfo on it.
FileInfoResult readFileInfo(NetWareClient& netware, const DriveMap& drives,
                            const QString& filePath);

// Reads the record of a file named as SERVER\VOL:DIR\NAME over a connection of its own,
// and the names of its owner, last archiver and last modifier. Every connection and
// handle opened is released before it returns.
FileInfoResult GetFileInfo(NetWareClient& netware, const QString& fullPath);

// An object's name, or "?" when the server does not know the ID: through the directory
// service (a fresh context per lookup) or through the bindery.
QString DirectoryNameOfID(NetWareClient& netware, quint32 objectID, NWCONN_HANDLE conn);
QString BinderyNameOfID(NetWareClient& netware, quint32 objectID, NWCONN_HANDLE conn);

}  // namespace tavrel
