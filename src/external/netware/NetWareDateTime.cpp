#include "external/netware/NetWareDateTime.h"

namespace tavrel {

quint16 packNetWareDate(const QDate& date) {
    if (!date.isValid() || date.year() < 1980 || date.year() > 1980 + 127) {
        return 0;
    }
    return quint16((date.year() - 1980) << 9 | date.month() << 5 | date.day());
}

quint32 packNetWareDateTime(const QDateTime& dateTime) {
    if (!dateTime.isValid()) {
        return 0;
    }
    const quint16 date = packNetWareDate(dateTime.date());
    if (date == 0) {
        return 0;
    }
    const QTime time = dateTime.time();
    const quint16 packedTime = quint16(time.hour() << 11 | time.minute() << 5 | time.second() / 2);
    return quint32(date) << 16 | packedTime;
}

}  // namespace tavrel
