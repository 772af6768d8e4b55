#include "common/TimeText.h"

namespace tavrel {

QString timeText(const QTime& time) {
    const int hour = time.hour();
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return QStringLiteral("%1:%2 %3")
        .arg(hour12, 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(hour < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
}

QString momentText(const QDateTime& moment) {
    const QDate date = moment.date();
    return QStringLiteral("%1/%2/%3 ")
               .arg(date.month(), 2, 10, QLatin1Char('0'))
               .arg(date.day(), 2, 10, QLatin1Char('0'))
               .arg(date.year(), 4, 10, QLatin1Char('0')) +
           timeText(moment.time());
}

}  // namespace tavrel
