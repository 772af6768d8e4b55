// Shows the query window on the log in TAVREL_HOME, sorted by User, for a screenshot
// (scripts/screenshot-query).

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include "common/AppContext.h"
#include "common/AppFolder.h"
#include "common/DesktopPlatform.h"
#include "common/QtPrompts.h"
#include "external/netware/EmulatedNetWare.h"
#include "logquery/ResultGrid.h"
#include "logquery/frmData.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    using namespace tavrel;
    test::MemorySettingsStore settings;
    test::FakeClock clock;
    QtPrompts prompts;
    DesktopPlatform platform;
    EmulatedNetWare netware{NetWareSite{}};
    AppContext context{settings, clock, prompts, platform, netware, netware};
    context.AppFolder = resolveAppFolder(QCoreApplication::applicationDirPath());
    frmData window(context);
    window.move(0, 0);
    window.show();  // as the main window shows it: before its first statement runs
    window.Form_Load();
    window.grid->DataGrid1_HeadClick(2);
    window.grid->setCurrentRecord(4);
    return app.exec();
}
