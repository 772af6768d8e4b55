#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

#include "Form1Fixture.h"
#include "fileinfo/FileInfo.h"
#include "filelist/frmFile.h"
#include "logquery/frmData.h"
#include "logquery/frmDetails.h"
#include "mainwindow/frmFind.h"

namespace tavrel::test {
namespace {

// Every window the main window opens: a double-click on its background or on any of its
// plain surfaces centres it, and Esc closes it from the control that has the focus.
TEST_F(Form1Test, SecondaryWindowsCentreOnADoubleClickAndCloseOnEsc) {
    context.AppFolder = dir.path() + "/";  // the log windows create their log here
    Form1& f = load();
    frmFind find(f);
    frmFile file(context);
    FileInfo info(context);
    frmData data(context);
    frmDetails details(context);
    QList<QWidget*> infoSurfaces{&info, info.Frame1, info.Frame2};
    infoSurfaces.append(QList<QWidget*>(info.Label.begin(), info.Label.end()));
    struct Window {
        QDialog* dialog;
        QList<QWidget*> surfaces;
        QWidget* focus;  // where Esc is typed
    };
    const Window windows[] = {
        {&find, {&find, find.Label1, find.Label2}, nullptr},
        {&file, {&file, file.Label1, file.Label2}, nullptr},
        {&info, infoSurfaces, nullptr},
        {&data, {&data, data.Label2, data.sbStatus}, nullptr},
        {&details,
         {&details, details.Label1, details.Label2, details.Label3, details.sbStatus},
         details.Text1},
    };
    for (const Window& w : windows) {
        SCOPED_TRACE(w.dialog->windowTitle().toStdString());
        w.dialog->show();
        for (QWidget* surface : w.surfaces) {
            w.dialog->move(3, 7);
            doubleClick(surface);
            expectCentred(*w.dialog);
        }
        QWidget* focus = w.focus != nullptr ? w.focus : w.dialog->focusWidget();
        if (focus == nullptr) {
            focus = w.dialog;
        }
        focus->setFocus();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
        QApplication::sendEvent(focus, &esc);
        EXPECT_FALSE(w.dialog->isVisible());
    }
}

}  // namespace
}  // namespace tavrel::test
