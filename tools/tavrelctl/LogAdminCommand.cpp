#include "LogAdminCommand.h"

#include <QCoreApplication>

#include "CommandArgs.h"
#include "common/AppFolder.h"
#include "common/AppTitle.h"
#include "common/IniSettingsStore.h"
#include "monitor/LogLocation.h"
#include "monitor/LogMigration.h"
#include "monitor/UsageLog.h"

namespace tavrel {

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

const char* const kUsage =
    "Usage: tavrelctl log location [URI|default]\n"
    "       tavrelctl log migrate --to URI [--station NAME]\n"
    "\n"
    "location: prints where the usage log is (tavrel.mdb in the program's folder unless a\n"
    "shared log is set), or sets a shared PostgreSQL log, postgresql://USER@HOST[:PORT]/DB,\n"
    "for this user's program and tavrelctl; \"default\" returns to tavrel.mdb. The address\n"
    "holds no password: libpq reads it from ~/.pgpass or PGPASSWORD.\n"
    "\n"
    "migrate: copies the rows of tavrel.mdb into the shared log at URI (its table is made\n"
    "when missing) as rows of this station (the host name, or the setting Log/Station, or\n"
    "NAME). A row already there (same station, Date, File, User and In_Time) is left as it\n"
    "is, so a second run adds nothing. The journal of actions goes along, each action once.\n"
    "Exit status 0 done, 1 failed, 2 bad usage.\n";

}  // namespace

bool isLogAdminCommand(const QStringList& args) {
    const QString first = args.value(0);
    return first == QLatin1String("location") || first == QLatin1String("migrate");
}

int runLogAdminCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = args.value(0);
    if (isHelpWord(args.value(1))) {
        out << kUsage;
        return 0;
    }
    const CommandArgs parsed(args.mid(1), {}, {QStringLiteral("to"), QStringLiteral("station")});
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
    if (command == QLatin1String("location")) {
        if (parsed.positional().size() > 1 || parsed.has(QStringLiteral("to")) ||
            parsed.has(QStringLiteral("station"))) {
            err << "tavrelctl log location: give one address, or none\n\n" << kUsage;
            return kBadUsage;
        }
        if (parsed.positional().size() == 1) {
            const QString problem = loglocation::set(settings, parsed.positional().first());
            if (!problem.isEmpty()) {
                err << "tavrelctl log location: " << problem << "\n";
                return kBadUsage;
            }
        }
        out << loglocation::current(settings, appFolder) << "\n";
        return 0;
    }
    const QString to = parsed.value(QStringLiteral("to"));
    if (!parsed.positional().isEmpty() || to.isEmpty()) {
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
    return 0;
}

}  // namespace tavrel
