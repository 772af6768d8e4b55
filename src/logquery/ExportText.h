#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tavrel {

class ResultSet;

// How result rows are written out: in the grid, printed, copied, saved as CSV and by
// tavrelctl query.
namespace exporttext {

// A value's default text form: numbers and texts as SQLite holds them, null as "".
QString valueText(const QVariant& value);

// How texts go into an export: as they are (tavrelctl query, print), or safe for a
// spreadsheet (Save and Clipboard): a text value that begins with =, +, -, @, a tab or a
// carriage return gets a leading ', so that a spreadsheet shows it instead of running it
// as a formula. Numbers (and PostgreSQL's dates) are no texts and stay as they are.
enum class Texts { AsTheyAre, SpreadsheetSafe };
QString exportedText(const QVariant& value, Texts texts);

// "value" with each double quote inside doubled, so a spreadsheet reads it back as it was.
QString csvField(const QString& text);
// The fields of a row (or the column names), each quoted, separated by commas.
QString csvLine(const QVariantList& values, Texts texts = Texts::AsTheyAre);
QString csvHeading(const QStringList& columns);
// Each value followed by the given number of spaces, the last one too.
QString spacedLine(const QVariantList& values, int spaces, Texts texts = Texts::AsTheyAre);
// A printed row: two spaces, then each value followed by two spaces.
QString printLine(const QVariantList& values);

// The lines of a printed result: the statement's lines (printed emphasised), two empty
// lines, a line a row, a line of one space and "  " + count + " records".
struct PrintedRecords {
    QStringList headingLines;
    QStringList lines;
};
PrintedRecords printedRecords(ResultSet& result, const QString& statementText);

// Copy's text: a line a row, each ended by CR LF; commas (quoted fields) or spaces;
// spreadsheet-safe texts.
QString copiedRecords(ResultSet& result, bool commas, int spaces);

// Writes the heading line and every row as CSV lines ended by CR LF (spreadsheet-safe
// texts), streaming the rows from the result set. False when a row could not be read or
// written; *error tells why. Open a file Unbuffered for it: writes go through writeWhole,
// and a buffered file would fail only when flushed.
bool writeCsv(ResultSet& result, QIODevice& out, QString* error);

}  // namespace exporttext

}  // namespace tavrel
