#include "LogAdminCommand.h"

#include <QCoreApplication>

#include "CommandArgs.h"
#include "common/AppFolder.h"
#include "common/AppTitle.h"
#include "common/IniSettingsStore.h"
#include "external/logdb/LogDb.h"
#include "monitor/LogLocation.h"
#include "monitor/LogMigration.h"
#include "monitor/UsageLog.h"

namespace tavrel {

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

const char* const kUsage =
    "Usage: tavrelctl log location [URI|default] [--no-check]\n"
    "       tavrelctl log station [NAME|default] [--no-check]\n"
    "       tavrelctl log migrate --to URI [--station NAME]\n"
    "\n"
    "location: prints where the usage log is (tavrel.mdb in the program's folder unless a\n"
    "shared log is set), or sets a shared PostgreSQL log, postgresql://USER@HOST[:PORT]/DB,\n"
    "for this user's program and tavrelctl; \"default\" returns to tavrel.mdb. A new address\n"
    "is tried once first, unless --no-check is given. The address holds no password: libpq\n"
    "reads it from ~/.pgpass or PGPASSWORD.\n"
    "\n"
    "station: prints the name this station's rows carry in a shared log, or sets it\n"
    "(\"default\": the operating-system user and the host, user@host). A name that is empty,\n"
    "or that differs only in letter case or spaces from a station of the shared log, is\n"
    "refused; the shared log is read for that unless --no-check is given. Only one program\n"
    "at a time stores under a station: a second one is refused and told which one does.\n"
    "\n"
    "migrate: copies the rows of tavrel.mdb into the shared log at URI (its table is made\n"
    "when missing) as rows of this station (see station, or NAME), with the minute of the\n"
    "last stored scan. A row that is there already with every column equal is left as it\n"
    "is, so a second run adds nothing; a row that cannot be copied as it is (a Date that is\n"
    "no date, a number out of range) is named and not copied. The journal of actions goes\n"
    "along, each action once.\n"
    "Exit status 0 done, 1 failed, 2 bad usage.\n";

int runStation(const CommandArgs& parsed, IniSettingsStore& settings, const QString& appFolder,
               QTextStream& out, QTextStream& err) {
    if (parsed.positional().size() > 1) {
        err << "tavrelctl log station: give one name, or none\n\n" << kUsage;
        return kBadUsage;
    }
    if (parsed.positional().size() == 1) {
        const QString name = parsed.positional().first().trimmed();
        if (name != QLatin1String("default")) {
            QString problem = loglocation::stationProblem(name, nullptr);
            const QString location = loglocation::current(settings, appFolder);
            if (problem.isEmpty() && !parsed.has(QStringLiteral("no-check")) &&
                LogDb::engineOf(location) == LogDb::Engine::PostgreSQL) {
                LogDb log;
                problem = !log.open(location) ? QStringLiteral(
                                                    "The shared log cannot be read to check the "
                                                    "name (--no-check sets it unchecked): ") +
                                                    log.lastError().description
                          : log.hasLogTable() ? loglocation::stationProblem(name, &log)
                                              : QString();
            }
            if (!problem.isEmpty()) {
                err << "tavrelctl log station: " << problem << "\n";
                return kFailed;
            }
        }
        const QString problem = loglocation::setStation(settings, name);
        if (!problem.isEmpty()) {
            err << "tavrelctl log station: " << problem << "\n";
            return kFailed;
        }
    }
    out << loglocation::station(settings) << "\n";
    return 0;
}

}  // namespace

bool isLogAdminCommand(const QStringList& args) {
    const QString first = args.value(0);
    return first == QLatin1String("location") || first == QLatin1String("migrate") ||
           first == QLatin1String("station");
}

int runLogAdminCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = args.value(0);
    if (isHelpWord(args.value(1))) {
        out << kUsage;
        return 0;
    }
    const CommandArgs parsed(args.mid(1), {QStringLiteral("no-check")},
                             {QStringLiteral("to"), QStringLiteral("station")});
    IniSettingsStore settings;
    if (!parsed.ok()) {
        err << "tavrelctl log " << command << ": " << parsed.error() << "\n\n" << kUsage;
        return kBadUsage;
    }
    if (!settings.isReadable(kAppTitle)) {
        err << "tavrelctl: " << unreadableSettingsMessage(settings, kAppTitle) << "\n";
        return kBadUsage;
    }
    const QString appFolder = resolveAppFolder(QCoreApplication::applicationDirPath());
    if (command != QLatin1String("migrate") &&
        (parsed.has(QStringLiteral("to")) || parsed.has(QStringLiteral("station")))) {
        err << "tavrelctl log " << command << ": --to and --station belong to migrate\n\n"
            << kUsage;
        return kBadUsage;
    }
    if (command == QLatin1String("station")) {
        return runStation(parsed, settings, appFolder, out, err);
    }
    if (command == QLatin1String("location")) {
        if (parsed.positional().size() > 1) {
            err << "tavrelctl log location: give one address, or none\n\n" << kUsage;
            return kBadUsage;
        }
        if (parsed.positional().size() == 1) {
            const QString given = parsed.positional().first().trimmed();
            QString problem = loglocation::addressProblem(given);
            if (!problem.isEmpty()) {
                err << "tavrelctl log location: " << problem << "\n";
                return kBadUsage;
            }
            if (!parsed.has(QStringLiteral("no-check")) &&
                LogDb::engineOf(given) == LogDb::Engine::PostgreSQL) {
                problem = loglocation::check(given);
                if (!problem.isEmpty()) {
                    problem += QStringLiteral(" (--no-check sets it unchecked)");
                }
            }
            if (problem.isEmpty()) {
                problem = loglocation::set(settings, given);
            }
            if (!problem.isEmpty()) {
                err << "tavrelctl log location: " << problem << "\n";
                return kFailed;
            }
        }
        out << loglocation::current(settings, appFolder) << "\n";
        return 0;
    }
    const QString to = parsed.value(QStringLiteral("to"));
    if (!parsed.positional().isEmpty() || to.isEmpty() || parsed.has(QStringLiteral("no-check"))) {
        err << "tavrelctl log migrate: give --to URI\n\n" << kUsage;
        return kBadUsage;
    }
    const QString station = parsed.has(QStringLiteral("station"))
                                ? parsed.value(QStringLiteral("station"))
                                : loglocation::station(settings);
    const LogMigrationResult result = migrateLog(UsageLog::databasePathIn(appFolder), to, station);
    if (!result.error.isEmpty()) {
        err << "tavrelctl log migrate: " << result.error << "\n";
        return kFailed;
    }
    out << result.copied << " rows copied, " << result.present << " already there, as station "
        << station << "\n";
    if (result.actionsCopied > 0) {
        out << result.actionsCopied << " actions copied\n";
    }
    for (const QString& row : result.uncopied) {
        err << "tavrelctl log migrate: not copied: " << row << "\n";
    }
    return result.uncopied.isEmpty() ? 0 : kFailed;
}

}  // namespace tavrel
