#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

#include "external/logdb/LogDb.h"
#include "logquery/Stays.h"

namespace tavrel {

// The date box holds at most this many characters.
inline constexpr int kDateBoxLength = 10;

// True for the keys the date box takes: of the printable characters only the digits, "-",
// "." and "/" (45 to 57); keys that type no character (Backspace, Tab, Delete, Return, Esc:
// codes below 32 and 127) do what they do in any text box.
bool acceptsDateKey(int keyAscii);

// The date box text with "-" or "." made "/" (only the first of the two that occurs).
QString normaliseDateText(const QString& text);

// The day a date box text names, or nothing ("Invalid date"), read as the query window
// reads a date literal (readDateParts): month/day/year when that is a valid date, else
// day/month/year (12-01-2003 is 1 December, 1.12.2003 is 12 January); a four-digit first
// part reads year/month/day; 12/1/03 is 2003, 12/1/95 is 1995; 12/1 is in today's year.
// Spaces around it are ignored.
std::optional<QDate> parseDateBox(const QString& text, const QDate& today = QDate::currentDate());

// A day as the date box shows it at first: mm/dd/yyyy, which reads back as the same day.
QString dateBoxText(const QDate& day);

// The day query: a row per file and user of the day, with these ten columns in order.
QStringList dayQueryColumns();
// withStation adds the shared log's Station as an eleventh column.
QString dayQuery(const QDate& day, bool withStation = false);

// Column numbers of the day query's result.
namespace daycol {
inline constexpr int File = 0, User = 1, Mins = 2, Opens = 3, AvgMins = 4, FirstIn = 5, LastOut = 6,
                     InTimes = 7, OutTimes = 8, Opened = 9, Station = 10;
}

// Runs the day query on an open log.
LogDbResult runDayQuery(LogDb& db, const QDate& day, bool withStation = false);

// The usage summary of one row of the day query, as it goes to the clipboard (lines end
// in CR LF). dateText is the date box text as typed; rows the stays list with its total.
QString usageSummary(const QDateTime& now, const QString& dateText, const QVariantList& row,
                     const QList<InOutRow>& rows);

// The part of the summary after its title and date: the row's values, the heading of the
// stays and a line per stay.
QString usageSummaryBody(const QVariantList& row, const QList<InOutRow>& rows);

}  // namespace tavrel
