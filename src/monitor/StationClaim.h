#pragma once

#include <QString>

namespace tavrel {

class LogDb;

// The right of one program to store a station's scans into a shared log: an advisory lock
// of the server, keyed by the station's name. Two programs storing under one station
// would each close the other's rows and count every minute twice, so the second is
// refused, and told which program holds the station. The lock never waits: a program
// that holds it and has stalled does not hold up the next one.
namespace stationclaim {

// Takes the station for the connection's life (a program that stores scan after scan),
// or with untilCommit for the open transaction only; "" or why not.
QString claim(LogDb& db, const QString& station, bool untilCommit = false);

}  // namespace stationclaim

}  // namespace tavrel
