// Built only by the CoreLinksNoWidgets test, which expects this to fail to compile with
// the include paths of tavrel_core.
#include <QWidget>

int probe() {
    return sizeof(QWidget);
}
