#include "common/AppFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "common/AppTitle.h"

namespace tavrel {

QString withTrailingSeparator(const QString& folder) {
    QString text = folder;
    while (text.size() > 1 && text.endsWith(QLatin1Char('/'))) {
        text.chop(1);
    }
    return text.endsWith(QLatin1Char('/')) ? text : text + QLatin1Char('/');
}

QString resolveAppFolder(const QString& programFolder) {
    QString folder = qEnvironmentVariable("TAVREL_HOME");
    if (folder.isEmpty()) {
        const QFileInfo program(programFolder);
        // An installed program (its shared files beside it, in ../share/tavrel) keeps its
        // data per user even where it could write its folder, as root can /usr/bin.
        const bool installed =
            QFileInfo(programFolder + QStringLiteral("/../share/tavrel")).isDir();
        if (!installed && program.isDir() && program.isWritable()) {
            folder = programFolder;
        } else {
            folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     QLatin1Char('/') + kAppTitle;
        }
    }
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    QDir().mkpath(folder);
    return withTrailingSeparator(folder);
}

}  // namespace tavrel
