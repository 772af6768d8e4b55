#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "external/logdb/LogDb.h"

namespace tavrel::test {

// A usage log in a temporary program folder, with three rows: a closed one of
// 12/01/2003 and two still open on 12/08/2026, one of them with a quote in its user name
// and a null Out_Time.
class QueryLog {
public:
    // location: the shared log to fill instead of tavrel.mdb in the temporary folder.
    explicit QueryLog(const QString& location = QString()) {
        EXPECT_TRUE(db.create(location.isEmpty() ? path() : location))
            << db.lastError().description.toStdString();
        const char* rows[] = {
            "('2003-12-01', 'G:\\APPS\\ORDERS.DBF', 'ALICE', '09:00 am', '10:00 am', "
            "'09:00 am,', '10:00 am,', 60, 1, 0)",
            "('2026-12-08', 'G:\\APPS\\ORDERS.DBF', 'BOB', '08:00 am', NULL, '08:00 am,', NULL, "
            "5, 1, -1)",
            "('2026-12-08', 'H:\\BUDGET.XLS', 'CAROL \"C\"', '07:30 am', NULL, '07:30 am,', "
            "NULL, 10, 2, -1)",
        };
        for (const char* row : rows) {
            const LogDbResult insert =
                db.exec(QStringLiteral("INSERT INTO Log VALUES ") + QString::fromLatin1(row));
            EXPECT_TRUE(insert.ok()) << insert.error.description.toStdString();
        }
    }

    QString folder() const { return dir.path() + QLatin1Char('/'); }
    QString path() const { return folder() + QStringLiteral("tavrel.mdb"); }
    qint64 rows() {
        return db.exec(QStringLiteral("SELECT count(*) FROM Log"))
            .rows.value(0)
            .value(0)
            .toLongLong();
    }

    QTemporaryDir dir;
    LogDb db;
};

}  // namespace tavrel::test
