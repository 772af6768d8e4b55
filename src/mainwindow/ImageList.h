#pragma once

#include <QIcon>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace tavrel {

// Pictures kept under keys, in the order they were added.
class ImageList {
public:
    void add(const QString& key, const QIcon& icon);
    // A null icon for an empty or unknown key.
    QIcon icon(const QString& key) const;
    QStringList keys() const;

private:
    QList<QPair<QString, QIcon>> m_images;
};

}  // namespace tavrel
