#include "mainwindow/ImageList.h"

namespace tavrel {

void ImageList::add(const QString& key, const QIcon& icon) {
    m_images.append({key, icon});
}

QIcon ImageList::icon(const QString& key) const {
    for (const auto& [k, icon] : m_images) {
        if (k == key) {
            return icon;
        }
    }
    return QIcon();
}

QStringList ImageList::keys() const {
    QStringList result;
    for (const auto& image : m_images) {
        result.append(image.first);
    }
    return result;
}

}  // namespace tavrel
