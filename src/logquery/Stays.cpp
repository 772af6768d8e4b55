#include "logquery/Stays.h"

#include <QRegularExpression>

#include "common/TimeText.h"

namespace tavrel {

namespace {

constexpr int kDaySeconds = 24 * 3600;

QString twoDigits(qint64 value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace

QStringList splitTimeList(const QString& text) {
    QStringList entries;
    QString collected;
    for (const QChar c : text) {
        if (c == QLatin1Char(',')) {
            entries.append(collected);
            collected.clear();
        } else {
            collected.append(c);
        }
    }
    return entries;
}

std::optional<QTime> parseTimeOfDay(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([ap]m)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    const int second = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    const QString half = match.captured(4).toLower();
    if (!half.isEmpty()) {
        if (hour < 1 || hour > 12) {
            return std::nullopt;
        }
        hour = hour % 12 + (half == QLatin1String("pm") ? 12 : 0);
    }
    const QTime time(hour, minute, second);
    if (!time.isValid()) {
        return std::nullopt;
    }
    return time;
}

QString notAvailableCell() {
    return QStringLiteral("N/A     ");
}

QString lengthText(int seconds) {
    const int minutes = seconds / 60;
    return twoDigits(minutes / 60) + QLatin1Char(':') + twoDigits(minutes % 60);
}

QString totalText(qint64 seconds) {
    const qint64 minutes = seconds / 60;
    return twoDigits(minutes / 60) + QLatin1Char(':') + twoDigits(minutes % 60);
}

InOutList FillInOutList(const QVariant& inTimes, const QVariant& outTimes, const QDate& day,
                        const QDateTime& now) {
    InOutList list;
    const QString inText = inTimes.isNull() ? QString() : inTimes.toString();
    if (inText.isEmpty()) {
        return list;
    }
    const QStringList ins = splitTimeList(inText);
    const QStringList outs = splitTimeList(outTimes.isNull() ? QString() : outTimes.toString());
    const bool today = day == now.date();
    const int nowSeconds = now.time().msecsSinceStartOfDay() / 1000;

    for (qsizetype i = 0; i < ins.size(); ++i) {
        InOutRow row{ins[i], QString(), QString()};
        const std::optional<QTime> in = parseTimeOfDay(ins[i]);
        std::optional<QTime> out;
        if (i < outs.size()) {
            row.out = outs[i];
            out = parseTimeOfDay(outs[i]);
        }
        if (!in || (i < outs.size() && !out)) {
            // The list stops at an entry that is no time; what came before stays.
            list.rows.append(row);
            list.complete = false;
            return list;
        }
        const int inSeconds = in->msecsSinceStartOfDay() / 1000;
        StaySpan span{inSeconds, kDaySeconds, false, 0, {}};
        int length = -1;
        if (out) {
            const int outSeconds = out->msecsSinceStartOfDay() / 1000;
            if (outSeconds >= inSeconds) {
                span.toSeconds = outSeconds;
                length = outSeconds - inSeconds;
            } else {
                // Closed after midnight: the bar ends with the day, the length runs on.
                length = kDaySeconds - inSeconds + outSeconds;
            }
        } else if (today) {
            row.out = notAvailableCell();
            span.open = true;
            span.toSeconds = nowSeconds;
            if (inSeconds <= nowSeconds) {
                length = nowSeconds - inSeconds;
            }
        } else {
            row.out = timeText(QTime(0, 0));
            span.open = true;
            length = kDaySeconds - inSeconds;
        }
        if (length < 0) {
            row.length = notAvailableCell();
        } else {
            row.length = lengthText(length);
            list.totalSeconds += length / 60 * 60;
            span.lengthSeconds = length;
            span.row = row;
            list.spans.append(span);
        }
        list.rows.append(row);
    }
    list.rows.append({QStringLiteral("Total"), QString(), totalText(list.totalSeconds)});
    return list;
}

}  // namespace tavrel
