#include "common/BusyPointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace tavrel {

int BusyPointer::s_depth = 0;

BusyPointer::BusyPointer() {
    if (s_depth++ == 0) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
}

BusyPointer::~BusyPointer() {
    if (--s_depth == 0) {
        QGuiApplication::restoreOverrideCursor();
    }
}

bool BusyPointer::active() {
    return s_depth > 0;
}

}  // namespace tavrel
