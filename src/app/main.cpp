#include <QApplication>

#include "common/AppContext.h"
#include "common/AppFolder.h"
#include "common/DesktopPlatform.h"
#include "common/IniSettingsStore.h"
#include "common/QtPrompts.h"
#include "common/SystemClock.h"
#include "external/netware/DemoSite.h"
#include "external/netware/EmulatedNetWare.h"
#include "mainwindow/CommandLine.h"
#include "mainwindow/Form1.h"

int main(int argc, char* argv[]) {
    // Wayland ignores a window's own moves; where X is there too and no platform was
    // chosen, ask for it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    // The window may be hidden in the tray; the program ends when it unloads.
    QApplication::setQuitOnLastWindowClosed(false);

    using namespace tavrel;
    const QString appFolder = resolveAppFolder(QCoreApplication::applicationDirPath());
    // A site file that cannot be written or read is reported by NWCallsInit at start-up.
    EmulatedNetWare netware(ensureSiteFile(appFolder));
    SystemClock clock;
    netware.setClock(clock);
    IniSettingsStore settings;
    QtPrompts prompts;
    DesktopPlatform platform;
    AppContext context(settings, clock, prompts, platform, netware, netware);
    context.AppFolder = appFolder;

    Form1 form(context, commandLineText(QCoreApplication::arguments()));
    QObject::connect(&form, &Form1::unloaded, &app, &QCoreApplication::quit);
    if (!form.Form_Load()) {
        return 1;
    }
    if (form.isUnloaded()) {
        return 0;  // closed during the command line's first scan
    }
    form.show();
    return QApplication::exec();
}
