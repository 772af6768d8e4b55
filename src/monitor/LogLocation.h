#pragma once

#include <QString>

namespace tavrel {

class LogDb;
class SettingsStore;

// Where the usage log lives. Unset, it is tavrel.mdb (SQLite) in the program's folder; set
// to a postgresql:// address (section "Log", key "Location"), it is that shared database.
// The address never holds a password: libpq reads it from ~/.pgpass or PGPASSWORD.
namespace loglocation {

inline const QString kSection = QStringLiteral("Log");
inline const QString kLocationKey = QStringLiteral("Location");
inline const QString kStationKey = QStringLiteral("Station");
// The shared log's column Station holds this many characters.
inline constexpr int kStationLength = 255;

// The log this user's program and tavrelctl use.
QString current(SettingsStore& settings, const QString& appFolder);

// The name of this station's rows in a shared log: the setting, else user@host.
QString station(SettingsStore& settings);

// Why a station name cannot be used: it is empty, or (when log is an open shared log) a
// station stored there already has a name that differs from it only in letter case or
// spaces. "" when it can be used.
QString stationProblem(const QString& name, LogDb* log);

// Stores NAME as this station's name, or with "default" returns to user@host. "" when
// stored, otherwise why not (nothing is changed). The caller checks the name first.
QString setStation(SettingsStore& settings, const QString& name);

// Why a location given to set() cannot be stored ("" when it can): a postgresql:// address
// it cannot read.
QString addressProblem(const QString& location);

// Connects once to a shared log's address: "" when it answers, otherwise what is wrong.
QString check(const QString& location);

// Stores a postgresql:// address as the log's location, or with "default" (or "")
// returns to the SQLite file. "" when stored, otherwise why not (nothing is changed).
QString set(SettingsStore& settings, const QString& location);

}  // namespace loglocation

}  // namespace tavrel
