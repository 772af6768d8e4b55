#pragma once

#include <QTextStream>
#include <memory>
#include <optional>

#include "ConsolePrompts.h"
#include "common/AppContext.h"
#include "common/IniSettingsStore.h"
#include "common/Platform.h"
#include "common/SystemClock.h"

namespace tavrel {

class EmulatedNetWare;
struct JournalEntry;

// The exit status of an action that was done but could not be written to the journal.
inline constexpr int kNotJournaled = 3;

// Writes an action's rows to the journal of the user's usage log. When they cannot be
// written, says so on err and turns a status of 0 into kNotJournaled; any other status is
// the action's own and stands. Returns the command's exit status.
int journalActions(SettingsStore& settings, const QList<JournalEntry>& entries, int status,
                   QTextStream& err);

// The site file tavrelctl works on: the one given, else TAVREL_SITE, else site.json in the
// program's folder (written from the demo site when missing; a problem doing so is
// reported on err).
QString resolveSitePath(const QString& given, QTextStream& err);

// The usage log the user's settings name: tavrel.mdb in the program's folder or a
// shared log's postgresql:// address. Nothing when the settings cannot be read (said on
// err): read as empty they would name the local log in place of the one configured.
std::optional<QString> currentLogLocation(QTextStream& err);

// What the program itself runs with, for the commands that scan or keep the log: the
// user's settings, the system clock, the site's servers and the program's folder.
class CtlSession {
public:
    explicit CtlSession(QTextStream& err);
    ~CtlSession();

    // Reads the site; false (with the reason on err) when the network cannot be used or
    // the settings cannot be read.
    bool start();

    AppContext& context() { return *m_context; }
    EmulatedNetWare& netware() { return *m_netware; }

private:
    // tavrelctl opens no windows: no viewer, document opener or clipboard.
    class NoDesktop : public Platform {
    public:
        bool openTextViewer(const QString&) override { return false; }
        bool openDocument(const QString&) override { return false; }
        void setClipboardText(const QString&) override {}
        QString clipboardText() const override { return QString(); }
        PrintResult print(const PrintJob&) override { return {}; }
        void beep() override {}
    };

    QTextStream& m_err;
    IniSettingsStore m_settings;
    SystemClock m_clock;
    ConsolePrompts m_prompts;
    NoDesktop m_platform;
    std::unique_ptr<EmulatedNetWare> m_netware;
    std::unique_ptr<AppContext> m_context;
};

}  // namespace tavrel
