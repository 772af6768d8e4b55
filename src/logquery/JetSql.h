#pragma once

#include <QList>
#include <QString>

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
// in lower case, as the shared log spells its columns), and the column User "user".
QString translateJetSql(const QString& statement, LogDb::Engine engine = LogDb::Engine::SQLite);

// An SQLite statement without its outermost ORDER BY clause (up to a LIMIT that follows
// it, which stays): the same rows in any order, for counting them without sorting.
QString withoutOrderBy(const QString& statement);

}  // namespace tavrel
