#include "logquery/DayDetails.h"

#include "common/TimeText.h"
#include "logquery/ExportText.h"
#include "logquery/JetSql.h"

namespace tavrel {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A list cell padded on the right to eight characters; a longer cell is taken whole.
QString summaryCell(const QString& cell) {
    return cell.leftJustified(8, QLatin1Char(' '), false);
}

}  // namespace

bool acceptsDateKey(int keyAscii) {
    const bool printable = keyAscii >= 32 && keyAscii != 127;
    return !printable || (keyAscii >= 45 && keyAscii <= 57);
}

QString normaliseDateText(const QString& text) {
    QString normal = text;
    if (normal.contains(QLatin1Char('-'))) {
        normal.replace(QLatin1Char('-'), QLatin1Char('/'));
    } else if (normal.contains(QLatin1Char('.'))) {
        normal.replace(QLatin1Char('.'), QLatin1Char('/'));
    }
    return normal;
}

std::optional<QDate> parseDateBox(const QString& text, const QDate& today) {
    const QString normal = normaliseDateText(text.trimmed());
    QList<QStringView> parts;
    for (const QStringView part : QStringView(normal).split(QLatin1Char('/'))) {
        parts.append(part);
    }
    return readDateParts(parts, today.year());
}

QString dateBoxText(const QDate& day) {
    return day.toString(QStringLiteral("MM/dd/yyyy"));
}

QStringList dayQueryColumns() {
    return {QStringLiteral("File"),     QStringLiteral("User"),     QStringLiteral("Mins"),
            QStringLiteral("Opens"),    QStringLiteral("Avg Mins"), QStringLiteral("First In"),
            QStringLiteral("Last Out"), QStringLiteral("In_Times"), QStringLiteral("Out_Times"),
            QStringLiteral("Opened")};
}

QString dayQuery(const QDate& day, bool withStation) {
    // Avg Mins is a real quotient, as the original engine's "/" always gave (and no error
    // where Opens is 0). The date is written from a QDate, digits and dashes only. In the
    // old dialect, translated for the engine in use.
    return QStringLiteral(
               "SELECT File,User,Mins,Opens,CAST(Mins AS DOUBLE PRECISION)/NULLIF(Opens, 0) "
               "AS [Avg Mins],"
               "In_Time AS [First In],Out_Time AS [Last Out],In_Times,Out_Times,Opened") +
           (withStation ? QStringLiteral(",Station") : QString()) +
           QStringLiteral(" FROM Log WHERE Date = '") + day.toString(Qt::ISODate) +
           QLatin1Char('\'') +
           (withStation ? QStringLiteral(" ORDER BY File,User,Station") : QString());
}

LogDbResult runDayQuery(LogDb& db, const QDate& day, bool withStation) {
    return db.exec(translateJetSql(dayQuery(day, withStation), db.engine()));
}

QString usageSummaryBody(const QVariantList& row, const QList<InOutRow>& rows) {
    static const struct {
        const char* label;
        int column;
    } kFields[] = {
        {"File: ", daycol::File},        {"User: ", daycol::User},
        {"Mins: ", daycol::Mins},        {"Opens: ", daycol::Opens},
        {"Avg Mins: ", daycol::AvgMins}, {"First In: ", daycol::FirstIn},
        {"Last Out: ", daycol::LastOut},
    };
    QString text;
    for (const auto& field : kFields) {
        text += QLatin1String(field.label) + exporttext::valueText(row.value(field.column)) + kCrLf;
    }
    text += kCrLf;
    text += QStringLiteral("In\t\tOut\t\tHrs/Mins") + kCrLf + kCrLf;
    for (const InOutRow& line : rows) {
        text += summaryCell(line.in) + QLatin1Char('\t') + summaryCell(line.out) +
                QLatin1Char('\t') + summaryCell(line.length) + QLatin1Char('\t') + kCrLf;
    }
    return text;
}

QString usageSummary(const QDateTime& now, const QString& dateText, const QVariantList& row,
                     const QList<InOutRow>& rows) {
    return QStringLiteral("File Usage Summary") + QString(10, QLatin1Char(' ')) + momentText(now) +
           kCrLf + kCrLf + QStringLiteral("Date: ") + dateText + kCrLf +
           usageSummaryBody(row, rows);
}

}  // namespace tavrel
