#pragma once

#include <QRect>

namespace tavrel {

// A control's place given in twips, fifteen to a pixel.
inline QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

}  // namespace tavrel
