#include <QApplication>
#include <QMainWindow>

#include "common/AppTitle.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(tavrel::kAppTitle);
    window.resize(609, 409);
    window.show();
    return app.exec();
}
