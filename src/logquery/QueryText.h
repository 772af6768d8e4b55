#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "common/Prompts.h"

namespace tavrel {

// The texts and statement rules of the query window, kept apart from its widgets.
namespace querytext {

// The statement the window opens with.
QString initialStatement();

// The text with spaces (only spaces) removed at both ends.
QString trimSpaces(const QString& text);

// Save SQL, Run SQL and Clear SQL are offered while this holds.
bool offersStatementButtons(const QString& text);

// Run SQL's statement from the text box: spaces trimmed, then a first line beginning with
// ' dropped up to and including its carriage return, the line feed staying in front.
// A first line ended by a line feed alone is dropped the same way; a comment with no line
// end after it is left as it is.
QString runStatement(const QString& text);

// The lines of a .sql file joined as the window loads them: with CR LF between them, so
// a -- comment ends at its line and a statement saved on several lines reopens as it was.
QString joinSqlFileLines(const QStringList& lines);

// The largest .sql file read: a statement, not a dump.
inline constexpr qint64 kMaxSqlFileBytes = 1024 * 1024;

// A .sql file as the window loads it (lines joined as above, the line break after the
// last line dropped), or nothing when it cannot be read: *error says why. The file is a
// regular file of at most kMaxSqlFileBytes holding UTF-8 text (a UTF-8 byte order mark is
// dropped); UTF-16, other encodings and NUL characters are refused.
std::optional<QString> readSqlFile(const QString& path, QString* error);
// Writes the text box content as a .sql file (sqlFileText); a failure leaves a file that
// was there as it was. False when it could not be written: *error says why.
bool writeSqlFile(const QString& path, const QString& text, QString* error);

// The path with ".sql" appended unless it already ends so, in any letter case.
QString sqlFilePath(const QString& path);

// The text box content as a .sql file holds it: lines ended by CR LF, one after the last.
QString sqlFileText(const QString& text);

// The statement re-ordered by the 1-based column: cut after the first " ORDER BY "
// (any case), or with " ORDER BY " appended when there is none, then the column and
// ASC or DESC.
QString sortedStatement(const QString& statement, int column, bool ascending);

// n + " records in " + seconds as #0.0000 + " seconds."
QString runCaption(qint64 records, double seconds);
QString positionCaption(qint64 position, qint64 records);
QString countCaption(qint64 records);
QString sortLabel(const QString& field, bool ascending);

// Copy's spaces answer: trimmed, a number, rounded half to even, from 0 to 99; anything
// else copies nothing.
std::optional<int> copySpaces(const QString& answer);
// What the operator is told when a spaces answer copies nothing: the allowed range for a
// number outside it; "" for an empty answer or one that is no number (nothing is said).
QString copySpacesProblem(const QString& answer);

// The question Save SQL asks before it writes path (the name with its extension), so the
// operator decides on the very file written: replace the file there, or create one.
MessageBoxRequest saveSqlQuestion(const QString& path, bool exists);

// The CSV file name from the answer: lower case, ".csv" appended unless present. Empty
// when the answer names a folder (a path separator or "..") or nothing.
QString csvFileName(const QString& answer);

}  // namespace querytext

// The window's fixed texts.
namespace querytexts {
inline const QString kTitle = QStringLiteral("Query Log Table");
inline const QString kSortHint = QStringLiteral("Click on field heading to sort on that field");
inline const QString kCantSort = QStringLiteral("Can't sort!");
inline const QString kDataRetrieved = QStringLiteral("Data retrieved");
inline const QString kNoDataFound = QStringLiteral("No data found");
inline const QString kUnableToProcess = QStringLiteral("Unable to process SQL statement");
inline const QString kRunning = QStringLiteral("Running SQL statement... (Stop or Esc ends it)");
inline const QString kProcessed = QStringLiteral("SQL statement processed successfully");
inline const QString kFileOpened = QStringLiteral("File opened");
inline const QString kFileSaved = QStringLiteral("File saved");
inline const QString kSqlCleared = QStringLiteral("SQL cleared");
inline const QString kSqlFilter = QStringLiteral("SQL Files (*.sql)|*.sql");
inline const QString kUnableToCreate = QStringLiteral("Unable to create ");
inline const QString kSpacesRange =
    QStringLiteral("Nothing copied: the number of spaces must be from 0 to 99.");
}  // namespace querytexts

}  // namespace tavrel
