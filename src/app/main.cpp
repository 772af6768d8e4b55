#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "common/AppContext.h"
#include "common/AppFolder.h"
#include "common/DesktopPlatform.h"
#include "common/IniSettingsStore.h"
#include "common/QtPrompts.h"
#include "common/ShutdownSignals.h"
#include "common/SystemClock.h"
#include "external/netware/DemoSite.h"
#include "external/netware/EmulatedNetWare.h"
#include "external/samba/SiteBackend.h"
#include "mainwindow/CommandLine.h"
#include "mainwindow/Form1.h"

namespace {

// Qt's own words while the window system is being reached; they are printed only when
// the start-up gets past that point.
QtMessageHandler g_previousHandler = nullptr;
QStringList* g_startupMessages = nullptr;

void startupMessageHandler(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type != QtFatalMsg) {
        g_startupMessages->append(qFormatLogMessage(type, context, message));
        return;
    }
    // The only fatal error of the application's construction: no window system reached.
    std::fputs(
        "Tavrel cannot start: no display was found.\n"
        "Start it from a desktop session, set DISPLAY to a running X server, or run it "
        "without a screen as: xvfb-run -a tavrel\n",
        stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Wayland ignores a window's own moves; where X is there too and no platform was
    // chosen, ask for it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QStringList startupMessages;
    g_startupMessages = &startupMessages;
    g_previousHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_previousHandler);
    for (const QString& message : startupMessages) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
    // The window may be hidden in the tray; the program ends when it unloads.
    QApplication::setQuitOnLastWindowClosed(false);

    using namespace tavrel;
    const QString appFolder = resolveAppFolder(QCoreApplication::applicationDirPath());
    // A site file that cannot be written or read is reported by NWCallsInit at start-up;
    // why the demo site could not be written goes to the console beside it.
    QString siteProblem;
    // The site file names an emulated site, or a Samba server ("backend": "samba").
    const std::unique_ptr<EmulatedNetWare> client =
        openSiteClient(ensureSiteFile(appFolder, &siteProblem), appFolder);
    EmulatedNetWare& netware = *client;
    if (!siteProblem.isEmpty()) {
        std::fprintf(stderr, "tavrel: %s\n", qPrintable(siteProblem));
    }
    SystemClock clock;
    netware.setClock(clock);
    IniSettingsStore settings;
    QtPrompts prompts;
    DesktopPlatform platform;
    AppContext context(settings, clock, prompts, platform, netware, netware);
    context.AppFolder = appFolder;

    Form1 form(context, commandLineText(QCoreApplication::arguments()));
    QObject::connect(&form, &Form1::unloaded, &app, &QCoreApplication::quit);
    // A logout, kill or service manager ends the program as a close would, without the
    // question nobody is there to answer.
    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::received, &form,
                     &Form1::closeWithoutQuestion);
    if (!form.Form_Load()) {
        return 1;
    }
    if (form.isUnloaded()) {
        return 0;  // closed during the command line's first scan
    }
    form.show();
    return QApplication::exec();
}
