#include "ActionsCommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "logquery/DayDetails.h"
#include "monitor/ActionJournal.h"

namespace tavrel {

namespace {

const char* const kUsage =
    "Usage: tavrelctl actions [--since DATE] [--user NAME] [--json]\n"
    "\n"
    "Lists the journal of the operator's actions (messages, cleared connections, unlocks,\n"
    "changes to the monitored files, from the window and from tavrelctl), newest first,\n"
    "one a line: time, operating-system user (@station on a shared log), program, action,\n"
    "target user with server and connection, file, message, and done or failed with the\n"
    "reason. --since lists the actions from DATE on (read as \"details\" reads it);\n"
    "--user only those whose target user or operating-system user is NAME. --json prints\n"
    "{\"actions\": [{\"time\", \"station\", \"osUser\", \"program\", \"action\", \"server\",\n"
    "\"file\", \"user\", \"connection\", \"message\", \"outcome\", \"reason\"}]}.\n"
    "Exit status 0 listed (\"No actions.\" when there are none), 1 the log could not be\n"
    "read, 2 bad usage.\n";

constexpr int kUnreadable = 1;
constexpr int kBadUsage = 2;

const QStringList kJsonKeys = {
    QStringLiteral("time"),    QStringLiteral("station"), QStringLiteral("osUser"),
    QStringLiteral("program"), QStringLiteral("action"),  QStringLiteral("server"),
    QStringLiteral("file"),    QStringLiteral("user"),    QStringLiteral("connection"),
    QStringLiteral("message"), QStringLiteral("outcome"), QStringLiteral("reason")};

// The row's texts that are not empty, two spaces apart.
QString line(const QVariantList& row) {
    QStringList texts = actionTexts(row);
    texts.removeAll(QString());
    return texts.join(QStringLiteral("  "));
}

}  // namespace

int runActionsCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kUsage;
        return 0;
    }
    const CommandArgs parsed(args, {QStringLiteral("json")},
                             {QStringLiteral("since"), QStringLiteral("user")});
    if (!parsed.ok() || !parsed.positional().isEmpty()) {
        return badUsage("actions",
                        parsed.ok()
                            ? QStringLiteral("unexpected argument ") + parsed.positional().first()
                            : parsed.error(),
                        kUsage, err);
    }
    QDate since;
    if (parsed.has(QStringLiteral("since"))) {
        const std::optional<QDate> day = parseDateBox(parsed.value(QStringLiteral("since")));
        if (!day) {
            err << "tavrelctl actions: Invalid date " << parsed.value(QStringLiteral("since"))
                << "\n";
            return kBadUsage;
        }
        since = *day;
    }
    const std::optional<QString> location = currentLogLocation(err);
    if (!location) {
        return kBadUsage;
    }
    const QString& path = *location;
    LogDb db;
    if (!LogDb::LogExists(path) || !db.open(path)) {
        err << "tavrelctl actions: No usage log in " << path << "\n";
        return kUnreadable;
    }
    const LogDbResult result = readJournal(db, since, parsed.value(QStringLiteral("user")));
    if (!result.ok()) {
        err << "tavrelctl actions: " << result.error.description << "\n";
        return kUnreadable;
    }
    if (parsed.has(QStringLiteral("json"))) {
        QJsonArray actions;
        for (const QVariantList& row : result.rows) {
            QJsonObject object;
            for (int c = 0; c < kJsonKeys.size(); ++c) {
                const QVariant value = row.value(c);
                object.insert(kJsonKeys.at(c),
                              value.isNull() ? QJsonValue() : QJsonValue::fromVariant(value));
            }
            actions.append(object);
        }
        out << QJsonDocument(QJsonObject{{QStringLiteral("actions"), actions}})
                   .toJson(QJsonDocument::Indented);
    } else if (result.rows.isEmpty()) {
        out << "No actions.\n";
    } else {
        for (const QVariantList& row : result.rows) {
            out << line(row) << "\n";
        }
    }
    return 0;
}

}  // namespace tavrel
