#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace tavrel {

// The entries of a time list as the usage log writes them ("09:15 am,11:40 am,"): the text
// before each comma. Text after the last comma is dropped; two commas in a row give an
// empty entry.
QStringList splitTimeList(const QString& text);

// A time of day as the log writes it ("09:15 am"); also "9:15 am", "21:15" and seconds.
// Nothing when the text is not a time.
std::optional<QTime> parseTimeOfDay(const QString& text);

// One line of the stays list: the in time, the out time and the length, as shown.
struct InOutRow {
    QString in;
    QString out;
    QString length;

    bool operator==(const InOutRow&) const = default;
};

// One stay placed on its day, for drawing: seconds from the day's midnight to where its
// bar starts and ends (0 to 86400). A stay with no out time has open set.
struct StaySpan {
    int fromSeconds = 0;
    int toSeconds = 0;
    bool open = false;
    int lengthSeconds = 0;  // past toSeconds for a stay closed after midnight
    InOutRow row;           // the stay's line of the list: its in, out and length texts
};

// The stays of one log row on its day, and the list made of them.
struct InOutList {
    // A line per stay, then the "Total" line; empty when the row has no in times. When an
    // entry cannot be read as a time the list ends at it, without a total.
    QList<InOutRow> rows;
    // The stays that take time on the day, in list order.
    QList<StaySpan> spans;
    // The sum of every length shown, in seconds.
    qint64 totalSeconds = 0;
    // False when the list ended at an entry that is not a time.
    bool complete = true;
};

// "N/A" and five spaces: the out time and length of a stay not closed yet.
QString notAvailableCell();

// Lists the stays of one log row of the given day from its In_Times and Out_Times (null
// reads as empty). Entry k of the out times closes entry k of the in times. A stay
// without an out time runs to now on today (unless it starts later than now: no length),
// and to midnight on any other day. A stay closed earlier in the day than it began
// (opened before midnight, closed by the day change) lasts to midnight and on past it.
InOutList FillInOutList(const QVariant& inTimes, const QVariant& outTimes, const QDate& day,
                        const QDateTime& now);

// "hh:mm" of a length within a day (a whole day is "24:00").
QString lengthText(int seconds);
// The total's "hh:mm": hours with at least two digits (100 hours give "100:00").
QString totalText(qint64 seconds);

}  // namespace tavrel
