#pragma once

#include <QDateTime>
#include <QString>

namespace tavrel {

// "hh:mm am/pm": two-digit hour on a 12-hour clock, two-digit minutes, a blank and
// lower-case am/pm; always 8 characters (12:00 am at midnight, 12:00 pm at noon).
QString timeText(const QTime& time);

// "mm/dd/yyyy hh:mm am/pm".
QString momentText(const QDateTime& moment);

}  // namespace tavrel
