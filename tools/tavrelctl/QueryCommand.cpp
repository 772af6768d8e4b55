#include "QueryCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSqlQuery>
#include <QSqlRecord>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "common/AppFolder.h"
#include "external/logdb/LogDb.h"
#include "logquery/ExportText.h"
#include "logquery/JetSql.h"
#include "logquery/QueryText.h"

namespace tavrel {

namespace {

constexpr int kStatementFailed = 1;
constexpr int kBadUsage = 2;

QString usage() {
    QString text = QStringLiteral(
        "Usage: tavrelctl query \"SQL\" [--csv|--json]\n"
        "       tavrelctl query -f FILE.sql [--csv|--json]\n"
        "\n"
        "Runs one statement on the usage log as the query window does: a first line\n"
        "beginning with ' is a comment, lines of a .sql file are joined as the window joins\n"
        "them, and the statement is translated from the old desktop database's dialect:\n"
        "\n");
    for (const JetTranslationRule& rule : jetTranslationRules()) {
        text += QStringLiteral("  %1\n      -> %2\n").arg(rule.jet, rule.sqlite);
        if (rule.postgres != rule.sqlite) {
            text += QStringLiteral("      -> %1 (shared log)\n").arg(rule.postgres);
        }
    }
    text += QStringLiteral(
        "\n"
        "Prints the rows as CSV with a heading line (every value quoted, quotes doubled, a\n"
        "null as \"\"), or with --json as {\"columns\": [...], \"rows\": [[...], ...]}.\n"
        "An action statement prints nothing (--json: no columns, no rows). Exit status 0\n"
        "done, 1 the statement failed (SQLite's message on stderr), 2 bad usage or no log.\n");
    return text;
}

void writeJsonValue(QTextStream& out, const QVariant& value) {
    if (value.isNull()) {
        out << "null";
        return;
    }
    const QJsonArray one{QJsonValue::fromVariant(value)};
    const QByteArray json = QJsonDocument(one).toJson(QJsonDocument::Compact);
    out << QString::fromUtf8(json.mid(1, json.size() - 2));
}

}  // namespace

int runQueryCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << usage();
        return 0;
    }
    QStringList rest = args;
    QString file;
    const qsizetype f = rest.indexOf(QStringLiteral("-f"));
    if (f >= 0) {
        if (f + 1 >= rest.size()) {
            err << "tavrelctl query: -f needs a file\n\n" << usage();
            return kBadUsage;
        }
        file = rest.at(f + 1);
        rest.remove(f, 2);
    }
    const CommandArgs parsed(rest, {QStringLiteral("csv"), QStringLiteral("json")},
                             {QStringLiteral("file")});
    if (parsed.has(QStringLiteral("file"))) {
        file = parsed.value(QStringLiteral("file"));
    }
    const bool oneSource =
        file.isEmpty() ? parsed.positional().size() == 1 : parsed.positional().isEmpty();
    if (!parsed.ok() || !oneSource ||
        (parsed.has(QStringLiteral("csv")) && parsed.has(QStringLiteral("json")))) {
        err << "tavrelctl query: "
            << (parsed.ok() ? QStringLiteral("give one statement, or -f FILE.sql, and one format")
                            : parsed.error())
            << "\n\n"
            << usage();
        return kBadUsage;
    }
    QString text = file.isEmpty() ? parsed.positional().first() : QString();
    if (!file.isEmpty()) {
        QString error;
        const std::optional<QString> loaded = querytext::readSqlFile(file, &error);
        if (!loaded) {
            err << "tavrelctl query: " << file << ": " << error << "\n";
            return kBadUsage;
        }
        text = *loaded;
    }

    const QString path = currentLogLocation();
    LogDb db;
    // The window creates a missing log too; a file that is not a database stays untouched.
    // One connection: a server that does not answer is waited for once.
    const bool exists =
        LogDb::engineOf(path) == LogDb::Engine::PostgreSQL || QFileInfo::exists(path);
    if (!(exists ? db.open(path) && db.ensureSchema() : db.create(path))) {
        err << "tavrelctl query: " << path << ": " << db.lastError().description << "\n";
        return kBadUsage;
    }
    const bool json = parsed.has(QStringLiteral("json"));
    QSqlQuery query(db.database());
    query.setForwardOnly(true);
    const QString statement = translateJetSql(querytext::runStatement(text), db.engine());
    if (!query.exec(statement)) {
        err << "tavrelctl query: " << querytexts::kUnableToProcess << ": "
            << LogDb::errorOf(query.lastError()).description << "\n";
        return kStatementFailed;
    }
    const QSqlRecord record = query.isSelect() ? query.record() : QSqlRecord();
    QStringList columns;
    for (int c = 0; c < record.count(); ++c) {
        columns.append(db.engine() == LogDb::Engine::PostgreSQL
                           ? LogDb::columnTitle(record.fieldName(c), statement)
                           : record.fieldName(c));
    }
    if (json) {
        out << "{\"columns\": "
            << QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(columns))
                                     .toJson(QJsonDocument::Compact))
            << ", \"rows\": [";
    } else if (!columns.isEmpty()) {
        out << exporttext::csvHeading(columns) << "\n";
    }
    bool first = true;
    QVariantList row;
    while (query.isSelect() && query.next()) {
        row.clear();
        for (int c = 0; c < columns.size(); ++c) {
            row.append(query.value(c));
        }
        if (!json) {
            out << exporttext::csvLine(row) << "\n";
            continue;
        }
        out << (first ? "\n  [" : ",\n  [");
        first = false;
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0) {
                out << ", ";
            }
            writeJsonValue(out, row.at(c));
        }
        out << "]";
    }
    if (json) {
        out << (first ? "]}\n" : "\n]}\n");
    }
    out.flush();
    if (query.lastError().isValid()) {
        err << "tavrelctl query: " << querytexts::kUnableToProcess << ": "
            << LogDb::errorOf(query.lastError()).description << "\n";
        return kStatementFailed;
    }
    return 0;
}

}  // namespace tavrel
