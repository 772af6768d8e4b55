#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

#include "external/logdb/LogDb.h"

namespace tavrel {

// One rule of the translation, as the README lists it: the old form and what SQLite and
// PostgreSQL read.
struct JetTranslationRule {
    QString jet;
    QString sqlite;
    QString postgres;
};

// The rules translateJetSql applies, in the order the README lists them.
const QList<JetTranslationRule>& jetTranslationRules();

// Rewrites a statement written in the old desktop database's dialect so that SQLite
// reads it with the same meaning: #m/d/yyyy# and #yyyy-mm-dd# date literals, True and
// False, ISNULL, & joining texts, Date(), Now(), UCase, LCase, Len, Mid, Left and Right.
// Quoted texts ('...' and "..."), bracketed and back-quoted names and comments are
// copied unchanged, and so is everything the rules do not name: an unknown function
// reaches SQLite, which reports it. For PostgreSQL (the shared log) the same rules give
// its forms, and besides: "texts" become 'texts', [names] "names" (a column of table Log
// in lower case, as the shared log spells its columns), and the column User "user"; an
// expression of the select list without a name of its own is named by its SQLite text
// (COUNT(*) AS "COUNT(*)"), so that headings are SQLite's on either engine.
//
// Reads the statement in time linear in its length. A statement nesting parentheses deeper
// than kJetMaxNesting, whose translation grows past sixteen times its length, or with a
// date literal that names no day (#31/31/2003#), gives "" and *error says why.
inline constexpr int kJetMaxNesting = 1000;
QString translateJetSql(const QString& statement, LogDb::Engine engine = LogDb::Engine::SQLite,
                        QString* error = nullptr);

// The day a date literal's parts name (split at its "/" or "-", each one to four digits):
// year/month/day when the first part has four digits, else month/day/year, read as
// day/month/year when that is no date; a year of one or two digits is 1930 to 2029 (30
// to 99 are 19xx, 00 to 29 20xx). Given thisYear, month/day alone is a day of that year.
std::optional<QDate> readDateParts(const QList<QStringView>& parts,
                                   std::optional<int> thisYear = std::nullopt);

// An SQLite statement without its outermost ORDER BY clause (up to a LIMIT that follows
// it, which stays): the same rows in any order, for counting them without sorting.
QString withoutOrderBy(const QString& statement);

}  // namespace tavrel
