#include "external/samba/SiteBackend.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "external/netware/EmulatedNetWare.h"
#include "external/samba/SambaNetWare.h"

namespace tavrel {

namespace {

// A Samba site file is small; a large file is an emulated site and is left to its reader.
constexpr qint64 kMaxSambaFileBytes = 1024 * 1024;

std::optional<QJsonObject> sambaRoot(const QString& sitePath) {
    QFile file(sitePath);
    if (file.size() > kMaxSambaFileBytes || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    return isSambaSite(root) ? std::optional<QJsonObject>(root) : std::nullopt;
}

}  // namespace

bool isSambaSiteFile(const QString& sitePath) {
    return sambaRoot(sitePath).has_value();
}

std::unique_ptr<EmulatedNetWare> openSiteClient(const QString& sitePath) {
    const std::optional<QJsonObject> root = sambaRoot(sitePath);
    if (!root) {
        return std::make_unique<EmulatedNetWare>(sitePath);
    }
    QString error;
    std::optional<SambaConfig> config =
        parseSambaConfig(*root, QFileInfo(sitePath).absolutePath(), &error);
    if (!config) {
        return std::make_unique<SambaNetWare>(
            QStringLiteral("the Samba site file %1 is not sound: %2").arg(sitePath, error));
    }
    return std::make_unique<SambaNetWare>(std::move(*config));
}

}  // namespace tavrel
