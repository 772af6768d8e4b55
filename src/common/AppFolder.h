#pragma once

#include <QString>

namespace tavrel {

// The folder that holds the log database, the site file, CSV exports and faq.fil:
// TAVREL_HOME when set; otherwise the program's folder when it can be written and the
// program is not installed (no ../share/tavrel beside it); otherwise the per-user data
// folder. Created when missing. Always ends in "/" ("/" stays "/").
QString resolveAppFolder(const QString& programFolder);

// The text of a folder with exactly one separator at its end.
QString withTrailingSeparator(const QString& folder);

}  // namespace tavrel
