#pragma once

#include <QDateTime>

namespace tavrel {

// The packed date-time of NetWare records: the date in the high half (bits 31..25 year
// less 1980, 24..21 month, 20..16 day), the time in the low half (15..11 hour, 10..5
// minute, 4..0 seconds divided by 2). 0 for an invalid value or a year outside
// 1980..2107, which the format cannot hold.
quint32 packNetWareDateTime(const QDateTime& dateTime);

// The date half alone (16 bits).
quint16 packNetWareDate(const QDate& date);

}  // namespace tavrel
