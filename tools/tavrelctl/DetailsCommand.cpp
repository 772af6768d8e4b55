#include "DetailsCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "common/AppFolder.h"
#include "common/PrintableText.h"
#include "external/logdb/LogDb.h"
#include "logquery/DayDetails.h"

namespace tavrel {

namespace {

const char* const kDetailsUsage =
    "Usage: tavrelctl details DATE [--json]\n"
    "\n"
    "Prints one day of the usage log as the details window shows it: each file and user\n"
    "of the day with its values, every stay (in, out, length) and the total, in the\n"
    "layout of the window's clipboard summary. DATE is read as the window reads it:\n"
    "month/day/year when that is a date, else day/month/year, with \"/\", \"-\" or \".\"\n"
    "(12/01/2003, 1.12.2003; a two-digit year is 1930 to 2029, 12/1 is this year), or\n"
    "year-month-day (2003-12-01).\n"
    "--json prints {\"date\", \"rows\": [{\"file\", \"user\", \"mins\", \"opens\", \"avgMins\",\n"
    "\"firstIn\", \"lastOut\", \"opened\", \"stays\": [{\"in\", \"out\", \"minutes\", \"open\"}],\n"
    "\"totalMinutes\"}]} with ISO times; \"out\" is null for a stay still open today.\n"
    "On a shared log each station keeps its own row of a file and user: the text shows a\n"
    "\"Station: \" line above the file, and --json a \"station\" key.\n"
    "Exit status 0 when the day has rows, 1 when it has none or there is no log yet, 2\n"
    "on bad usage or when the settings or the log cannot be read (the reason on stderr).\n";

constexpr int kNoData = 1;
constexpr int kBadUsage = 2;
constexpr int kFailed = 2;  // the log or the settings could not be read

QJsonValue jsonOf(const QVariant& value) {
    return value.isNull() ? QJsonValue() : QJsonValue::fromVariant(value);
}

// The wall-clock time the given seconds after the day's midnight show, as ISO text. The
// log keeps wall-clock times, so a day the clocks change on has no hour more or less.
QString wallClockText(const QDate& day, int seconds) {
    constexpr int kDay = 24 * 60 * 60;
    return day.addDays(seconds / kDay).toString(Qt::ISODate) + QLatin1Char('T') +
           QTime::fromMSecsSinceStartOfDay((seconds % kDay) * 1000).toString(Qt::ISODate);
}

QJsonObject rowJson(const QVariantList& row, const QDate& day, const QDateTime& now,
                    bool stations) {
    const InOutList list = FillInOutList(row[daycol::InTimes], row[daycol::OutTimes], day, now);
    QJsonArray stays;
    for (const StaySpan& span : list.spans) {
        const bool stillOpen = span.open && day == now.date();
        stays.append(QJsonObject{
            {QStringLiteral("in"), wallClockText(day, span.fromSeconds)},
            {QStringLiteral("out"),
             stillOpen ? QJsonValue()
                       : QJsonValue(wallClockText(day, span.fromSeconds + span.lengthSeconds))},
            {QStringLiteral("minutes"), span.lengthSeconds / 60},
            {QStringLiteral("open"), span.open}});
    }
    QJsonObject json{{QStringLiteral("file"), jsonOf(row[daycol::File])},
                     {QStringLiteral("user"), jsonOf(row[daycol::User])},
                     {QStringLiteral("mins"), jsonOf(row[daycol::Mins])},
                     {QStringLiteral("opens"), jsonOf(row[daycol::Opens])},
                     {QStringLiteral("avgMins"), jsonOf(row[daycol::AvgMins])},
                     {QStringLiteral("firstIn"), jsonOf(row[daycol::FirstIn])},
                     {QStringLiteral("lastOut"), jsonOf(row[daycol::LastOut])},
                     {QStringLiteral("opened"), row[daycol::Opened].toInt() != 0},
                     {QStringLiteral("stays"), stays},
                     {QStringLiteral("totalMinutes"), list.totalSeconds / 60}};
    if (stations) {
        json.insert(QStringLiteral("station"), jsonOf(row[daycol::Station]));
    }
    return json;
}

}  // namespace

int runDetailsCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kDetailsUsage;
        return 0;
    }
    const CommandArgs parsed(args, {QStringLiteral("json")}, {});
    if (!parsed.ok() || parsed.positional().size() != 1) {
        return badUsage("details",
                        !parsed.ok() ? parsed.error()
                        : parsed.positional().isEmpty()
                            ? QStringLiteral("a date is needed")
                            : QStringLiteral("unexpected argument ") + parsed.positional().value(1),
                        kDetailsUsage, err);
    }
    const QString dateText = parsed.positional().first();
    const std::optional<QDate> day = parseDateBox(dateText);
    if (!day) {
        err << "tavrelctl details: Invalid date " << dateText << "\n";
        return kBadUsage;
    }
    const std::optional<QString> location = currentLogLocation(err);
    if (!location) {
        return kFailed;
    }
    const QString& path = *location;
    // No log yet has no rows on any day; a log that cannot be read is a failure.
    LogDb db;
    const bool missing = LogDb::engineOf(path) == LogDb::Engine::SQLite &&
                         !QFileInfo(path).exists() && !QFileInfo(path).isSymLink();
    if (missing || (db.open(path) && !db.hasLogTable())) {
        err << "tavrelctl details: No usage log in " << path << "\n";
        return kNoData;
    }
    if (!db.isOpen()) {
        err << "tavrelctl details: " << path << ": " << db.lastError().description << "\n";
        return kFailed;
    }
    // Each station of a shared log keeps its own row of a file and user.
    const bool stations = db.engine() == LogDb::Engine::PostgreSQL;
    const LogDbResult result = runDayQuery(db, *day, stations);
    if (!result.ok()) {
        err << "tavrelctl details: " << result.error.description << "\n";
        return kFailed;
    }
    const QDateTime now = QDateTime::currentDateTime();
    if (parsed.has(QStringLiteral("json"))) {
        QJsonArray rows;
        for (const QVariantList& row : result.rows) {
            rows.append(rowJson(row, *day, now, stations));
        }
        out << QJsonDocument(QJsonObject{{QStringLiteral("date"), day->toString(Qt::ISODate)},
                                         {QStringLiteral("rows"), rows}})
                   .toJson(QJsonDocument::Indented);
    } else if (result.rows.isEmpty()) {
        out << "No data found\n";
    } else {
        QString text;
        for (qsizetype i = 0; i < result.rows.size(); ++i) {
            // Names from the log print escaped: one cannot forge a line of the summary.
            QVariantList row = result.rows[i];
            for (const int column : {daycol::File, daycol::User, daycol::Station}) {
                if (column < row.size() && !row[column].isNull()) {
                    row[column] = printableText(row[column].toString());
                }
            }
            const InOutList list =
                FillInOutList(row[daycol::InTimes], row[daycol::OutTimes], *day, now);
            QString block = i == 0 ? usageSummary(now, dateText, row, list.rows)
                                   : QStringLiteral("\r\n") + usageSummaryBody(row, list.rows);
            if (stations) {
                const qsizetype file = block.indexOf(QStringLiteral("File: "));
                block.insert(file, QStringLiteral("Station: ") + row[daycol::Station].toString() +
                                       QStringLiteral("\r\n"));
            }
            text += block;
        }
        out << text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    return result.rows.isEmpty() ? kNoData : 0;
}

}  // namespace tavrel
