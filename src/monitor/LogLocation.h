#pragma once

#include <QString>

namespace tavrel {

class SettingsStore;

// Where the usage log lives. Unset, it is tavrel.mdb (SQLite) in the program's folder; set
// to a postgresql:// address (section "Log", key "Location"), it is that shared database.
// The address never holds a password: libpq reads it from ~/.pgpass or PGPASSWORD.
namespace loglocation {

inline const QString kSection = QStringLiteral("Log");
inline const QString kLocationKey = QStringLiteral("Location");
inline const QString kStationKey = QStringLiteral("Station");

// The log this user's program and tavrelctl use.
QString current(SettingsStore& settings, const QString& appFolder);

// The name of this station's rows in a shared log: the setting, else the host name.
QString station(SettingsStore& settings);

// Stores a postgresql:// address as the log's location, or with "default" (or "")
// returns to the SQLite file. "" when stored, otherwise why not (nothing is changed).
QString set(SettingsStore& settings, const QString& location);

}  // namespace loglocation

}  // namespace tavrel
