#pragma once

#include <QString>

namespace tavrel {

// The site file the program uses: TAVREL_SITE when set; otherwise "site.json" in the
// program's folder (appFolder), where the built-in demo site (two servers, three mapped
// drives, a handful of users and open files) is written with its volume folders and
// files when no site file is there yet. Files already present are never overwritten.
// *error (when given) says why the demo could not be written; the path is returned
// anyway, and reading it then reports what is missing.
QString ensureSiteFile(const QString& appFolder, QString* error = nullptr);

// Writes the demo site into a folder: site.json and its volume folders. "" or why not.
QString writeDemoSite(const QString& folder);

}  // namespace tavrel
