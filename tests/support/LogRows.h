#pragma once

#include <QStringList>

#include "external/logdb/LogDb.h"

namespace tavrel::test {

// A result's rows a line each, the cells joined by " | ", Null spelt out.
inline QStringList rowsText(const LogDbResult& result) {
    QStringList rows;
    for (const QVariantList& row : result.rows) {
        QStringList cells;
        for (const QVariant& cell : row) {
            cells.append(cell.isNull() ? QStringLiteral("Null") : cell.toString());
        }
        rows.append(cells.join(QStringLiteral(" | ")));
    }
    return rows;
}

// A year of the usage log in SQLite: 365 days x 100 files x 20 users, every row closed
// but the last day's (8 December 2026).
inline const char* const kYearOfLogSql =
    "WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 364), "
    "f(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM f WHERE n < 99), "
    "u(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM u WHERE n < 19) "
    "INSERT INTO Log SELECT date('2026-12-08', '-' || d.n || ' days'), "
    "printf('G:\\DATA\\FILE%03d.DBF', f.n), printf('USER%02d', u.n), '08:00 am', "
    "iif(d.n = 0, NULL, '12:00 pm'), '08:00 am,', iif(d.n = 0, NULL, '12:00 pm,'), "
    "240, 1, iif(d.n = 0, -1, 0) FROM d, f, u ORDER BY 1, 2, 3";

}  // namespace tavrel::test
