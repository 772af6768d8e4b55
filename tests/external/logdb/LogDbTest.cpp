#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include "external/logdb/LogDb.h"

namespace tavrel {
namespace {

class LogDbTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + QStringLiteral("/tavrel.mdb"); }
    QTemporaryDir m_dir;
};

TEST_F(LogDbTest, OpeningAMissingFileFailsAndCreatesNothing) {
    LogDb db;
    EXPECT_FALSE(db.open(path()));
    EXPECT_EQ(db.lastError().number, LogDb::kCantOpen);
    EXPECT_FALSE(db.lastError().description.isEmpty());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_FALSE(LogDb::LogExists(path()));
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(LogDbTest, CreateMakesTableLogWithItsColumnsInOrder) {
    {
        LogDb db;
        ASSERT_TRUE(db.create(path())) << db.lastError().description.toStdString();
        EXPECT_TRUE(db.hasLogTable());
        const LogDbResult info = db.exec(QStringLiteral("PRAGMA table_info(Log)"));
        ASSERT_TRUE(info.ok());
        QStringList columns;
        QStringList notNull;
        for (const QVariantList& row : info.rows) {
            columns.append(row.at(1).toString() + QLatin1Char(' ') + row.at(2).toString());
            if (row.at(3).toInt() != 0) {
                notNull.append(row.at(1).toString());
            }
        }
        EXPECT_EQ(columns, QStringList({"Date DATE", "File VARCHAR(255)", "User VARCHAR(255)",
                                        "In_Time VARCHAR(8)", "Out_Time VARCHAR(8)",
                                        "In_Times TEXT", "Out_Times TEXT", "Mins SMALLINT",
                                        "Opens SMALLINT", "Opened BOOLEAN"}));
        EXPECT_EQ(notNull, QStringList({"Opened"}));
        const LogDbResult mode = db.exec(QStringLiteral("PRAGMA journal_mode"));
        EXPECT_EQ(mode.rows.value(0).value(0).toString(), QStringLiteral("wal"));
    }
    EXPECT_TRUE(LogDb::LogExists(path()));
}

TEST_F(LogDbTest, EveryColumnRoundTripsInTheFormSQLiteHoldsIt) {
    LogDb db;
    ASSERT_TRUE(db.create(path()));
    const LogDbResult insert =
        db.exec(QStringLiteral("INSERT INTO Log VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {QStringLiteral("2026-12-08"), QStringLiteral("G:\\APPS\\O'BRIEN.DBF"),
                 QStringLiteral("ALICE"), QStringLiteral("09:05 am"), QVariant(),
                 QStringLiteral("09:05 am,"), QVariant(), 3, 1, -1});
    ASSERT_EQ(insert.kind, LogDbResult::Kind::NoRowSet);

    const LogDbResult rows = db.exec(QStringLiteral("SELECT * FROM Log"));
    ASSERT_EQ(rows.kind, LogDbResult::Kind::Rows);
    EXPECT_EQ(rows.columns, QStringList({"Date", "File", "User", "In_Time", "Out_Time", "In_Times",
                                         "Out_Times", "Mins", "Opens", "Opened"}));
    ASSERT_EQ(rows.rows.size(), 1);
    const QVariantList& row = rows.rows.first();
    EXPECT_EQ(row[0].toString(), QStringLiteral("2026-12-08"));
    EXPECT_EQ(row[1].toString(), QStringLiteral("G:\\APPS\\O'BRIEN.DBF"));
    EXPECT_EQ(row[3].toString(), QStringLiteral("09:05 am"));
    EXPECT_TRUE(row[4].isNull());
    EXPECT_EQ(row[5].toString(), QStringLiteral("09:05 am,"));
    EXPECT_TRUE(row[6].isNull());
    EXPECT_EQ(row[7].toInt(), 3);
    EXPECT_EQ(row[8].toInt(), 1);
    EXPECT_EQ(row[9].toString(), QStringLiteral("-1"));

    // The old engine's Boolean conditions keep working on -1/0.
    for (const char* condition : {"Opened", "Opened = -1", "NOT Opened = 0"}) {
        const LogDbResult r =
            db.exec(QStringLiteral("SELECT count(*) FROM Log WHERE ") + QLatin1String(condition));
        EXPECT_EQ(r.rows.value(0).value(0).toInt(), 1) << condition;
    }
}

TEST_F(LogDbTest, FileAndUserCompareWithoutRegardToCase) {
    LogDb db;
    ASSERT_TRUE(db.create(path()));
    db.exec(QStringLiteral("INSERT INTO Log (Date, File, User, Opened) VALUES (?, ?, ?, -1)"),
            {QStringLiteral("2026-12-08"), QStringLiteral("G:\\APPS\\ORDERS.DBF"),
             QStringLiteral("ALICE")});
    const LogDbResult r =
        db.exec(QStringLiteral("SELECT count(*) FROM Log WHERE Date = ? AND File = ? AND User = ?"),
                {QStringLiteral("2026-12-08"), QStringLiteral("g:\\apps\\orders.dbf"),
                 QStringLiteral("alice")});
    EXPECT_EQ(r.rows.value(0).value(0).toInt(), 1);
    const LogDbResult plan = db.exec(
        QStringLiteral(
            "EXPLAIN QUERY PLAN SELECT * FROM Log WHERE Date = ? AND File = ? AND User = ?"),
        {QStringLiteral("2026-12-08"), QStringLiteral("x"), QStringLiteral("y")});
    ASSERT_TRUE(plan.ok());
    EXPECT_TRUE(
        plan.rows.value(0).value(3).toString().contains(QStringLiteral("Log_Date_File_User")));
}

TEST_F(LogDbTest, ActionStatementsReportNoRowSetAndErrorsANumberAndText) {
    LogDb db;
    ASSERT_TRUE(db.create(path()));
    for (const char* sql :
         {"DELETE FROM Log", "UPDATE Log SET Mins = 1", "INSERT INTO Log (Opened) VALUES (0)"}) {
        EXPECT_EQ(db.exec(QString::fromLatin1(sql)).kind, LogDbResult::Kind::NoRowSet) << sql;
    }
    const LogDbResult bad = db.exec(QStringLiteral("SELEKT * FROM Log"));
    EXPECT_EQ(bad.kind, LogDbResult::Kind::Failed);
    EXPECT_EQ(bad.error.number, 1);
    EXPECT_TRUE(bad.error.description.contains(QStringLiteral("syntax error")))
        << bad.error.description.toStdString();
    const LogDbResult missing = db.exec(QStringLiteral("SELECT * FROM Missing"));
    EXPECT_TRUE(missing.error.description.contains(QStringLiteral("no such table")))
        << missing.error.description.toStdString();
    EXPECT_EQ(db.lastError().number, missing.error.number);
}

TEST_F(LogDbTest, AFileThatIsNotADatabaseIsRefusedAndLeftAsItWas) {
    const QByteArray text("These are my notes, not a database.\n");
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.repeated(200));
    file.close();

    for (bool creating : {false, true}) {
        LogDb db;
        EXPECT_FALSE(creating ? db.create(path()) : db.open(path()));
        EXPECT_EQ(db.lastError().number, LogDb::kNotADatabase);
        EXPECT_FALSE(db.isOpen());
    }
    EXPECT_FALSE(LogDb::LogExists(path()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), text.repeated(200));
}

TEST_F(LogDbTest, AFolderIsNoLog) {
    LogDb db;
    QTemporaryDir folder;
    EXPECT_FALSE(db.create(folder.path()));
    EXPECT_EQ(db.lastError().description, QStringLiteral("'%1' is not a file.").arg(folder.path()));
    EXPECT_TRUE(QFileInfo(folder.path()).isDir());
}

TEST_F(LogDbTest, BusyAndLockedInTheirExtendedFormsAreAnotherProgramsHold) {
    const std::pair<int, bool> cases[] = {
        {5, true},   {6, true},     {261, true},  // SQLITE_BUSY_RECOVERY
        {517, true},                              // SQLITE_BUSY_SNAPSHOT
        {262, true},                              // SQLITE_LOCKED_SHAREDCACHE
        {8, false},  {1811, false}, {14, false},
    };
    const LogDb db;
    for (const auto& [number, locked] : cases) {
        EXPECT_EQ(db.isLockedByAnother({number, QString()}), locked) << number;
    }
}

TEST_F(LogDbTest, CreationAddsTheTableToAnEmptyFile) {
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(LogDb::LogExists(path()));
    LogDb db;
    ASSERT_TRUE(db.create(path()));
    EXPECT_TRUE(db.hasLogTable());
}

TEST_F(LogDbTest, EachLogDbHasItsOwnConnectionReleasedOnClose) {
    LogDb first;
    ASSERT_TRUE(first.create(path()));
    const QStringList before = QSqlDatabase::connectionNames();
    {
        LogDb second;
        ASSERT_TRUE(second.open(path()));
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before.size() + 1);
        second.exec(QStringLiteral("INSERT INTO Log (Opened) VALUES (0)"));
        const LogDbResult seen = first.exec(QStringLiteral("SELECT count(*) FROM Log"));
        EXPECT_EQ(seen.rows.value(0).value(0).toInt(), 1);
    }
    EXPECT_EQ(QSqlDatabase::connectionNames(), before);
    first.close();
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(first.exec(QStringLiteral("SELECT 1")).kind, LogDbResult::Kind::Failed);
}

TEST_F(LogDbTest, PathsWithSpecialCharactersOpen) {
    const QString odd = m_dir.path() + QStringLiteral("/my logs #1 ?50%/tavrel.mdb");
    QDir().mkpath(QFileInfo(odd).path());
    LogDb db;
    ASSERT_TRUE(db.create(odd)) << db.lastError().description.toStdString();
    db.close();
    EXPECT_TRUE(LogDb::LogExists(odd));
}

}  // namespace
}  // namespace tavrel
