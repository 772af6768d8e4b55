#include "CtlSession.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "common/AppFolder.h"
#include "common/AppTitle.h"
#include "external/logdb/LogDb.h"
#include "external/netware/DemoSite.h"
#include "external/netware/EmulatedNetWare.h"
#include "external/samba/SiteBackend.h"
#include "monitor/ActionJournal.h"
#include "monitor/LogLocation.h"

namespace tavrel {

namespace {

QString appFolder() {
    return resolveAppFolder(QCoreApplication::applicationDirPath());
}

}  // namespace

QString resolveSitePath(const QString& given, QTextStream& err) {
    if (!given.isEmpty()) {
        return QFileInfo(given).absoluteFilePath();
    }
    QString problem;
    const QString path = ensureSiteFile(appFolder(), &problem);
    if (!problem.isEmpty()) {
        err << "tavrelctl: " << problem << "\n";
    }
    return QFileInfo(path).absoluteFilePath();
}

std::optional<QString> currentLogLocation(QTextStream& err) {
    IniSettingsStore settings;
    if (!settings.isReadable(kAppTitle)) {
        err << "tavrelctl: " << unreadableSettingsMessage(settings, kAppTitle) << "\n";
        return std::nullopt;
    }
    LogDb::setDefaultApplicationName(QStringLiteral("Tavrel ") + loglocation::station(settings));
    return loglocation::current(settings, appFolder());
}

int journalActions(SettingsStore& settings, const QList<JournalEntry>& entries, int status,
                   QTextStream& err) {
    SystemClock clock;
    ActionJournal writer(settings, appFolder(), clock, journal::kTavrelctl);
    const QString problem = writer.record(entries);
    if (problem.isEmpty()) {
        return status;
    }
    err << "tavrelctl: " << notJournaledText(problem) << "\n";
    return status == 0 ? kNotJournaled : status;
}

CtlSession::CtlSession(QTextStream& err) : m_err(err), m_prompts(err) {}

CtlSession::~CtlSession() = default;

bool CtlSession::start() {
    if (!m_settings.isReadable(kAppTitle)) {
        // Read as empty, the settings would pass for a first run; say so and stop.
        m_err << "tavrelctl: " << unreadableSettingsMessage(m_settings, kAppTitle) << "\n";
        return false;
    }
    m_netware = openSiteClient(resolveSitePath(QString(), m_err), appFolder());
    m_netware->setClock(m_clock);
    m_context = std::make_unique<AppContext>(m_settings, m_clock, m_prompts, m_platform, *m_netware,
                                             *m_netware);
    m_context->AppFolder = appFolder();
    if (m_netware->NWCallsInit() != nwcode::kSuccessful) {
        m_err << "tavrelctl: Error! Unable to initialize network.\n"
              << m_netware->initFailureReason() << "\n";
        return false;
    }
    return true;
}

}  // namespace tavrel
