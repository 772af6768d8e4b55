#pragma once

#include <QByteArray>
#include <QString>

#include "monitor/ScanFiles.h"

namespace tavrel {

class ScanRecorder;
class SettingsStore;

// The document tavrelctl scan --json prints, {"files": [...], "nodes": [...], "status": ...},
// as QJsonDocument::toJson writes it indented, but written straight: a scan of thousands of
// files makes a document of megabytes.
//
// "files" are the files of a scan as programs read them: per file its path, description,
// server, whether it was found, the error of a failed scan, and its holders with the
// server's own spelling of the user, numbers, lists and booleans rather than the tree's
// texts, and the login time in ISO 8601 with seconds and offset. What the scan did not
// look up (network address and directory rights without the user details) is null.
// "nodes" is the tree as {"children", "image", "tag", "text"} objects.
QByteArray scanJsonText(const QString& status, const ScanRecorder& tree, const ScanFileTable& files,
                        SettingsStore& settings);

// A login time (this machine's wall clock) as "2026-12-09T10:23:05+01:00"; "" when it
// is no date.
QString loginTimeIso(const LoginTime& loginTime);

}  // namespace tavrel
