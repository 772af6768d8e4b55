#include "external/netware/DemoSite.h"

#include <sys/stat.h>

#include <cerrno>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "common/SaveWhole.h"

namespace tavrel {

namespace {

const QString kDemoRoot = QStringLiteral(":/demo");
const QString kSiteFileName = QStringLiteral("site.json");

QString copyResource(const QString& resource, const QString& target) {
    if (QFileInfo::exists(target)) {
        return QString();
    }
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read the built-in %1").arg(resource);
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        return QStringLiteral("cannot create the folder %1").arg(QFileInfo(target).absolutePath());
    }
    // Written afresh rather than copied: a copied resource would be read-only.
    const QString error = saveWhole(target, source.readAll());
    return error.isEmpty() ? QString() : QStringLiteral("cannot write %1: %2").arg(target, error);
}

}  // namespace

QString writeDemoSite(const QString& folder) {
    // Said of the folder itself, not of the first demo folder that fails inside it.
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        return QStringLiteral("cannot create the folder %1").arg(folder);
    }
    if (!QFileInfo(folder).isWritable()) {
        return QStringLiteral("cannot write in the folder %1").arg(folder);
    }
    const QDir target(folder);
    QDirIterator it(kDemoRoot, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString resource = it.next();
        const QString relative = resource.mid(kDemoRoot.size() + 1);
        if (relative == kSiteFileName) {
            continue;
        }
        const QString problem = copyResource(resource, target.filePath(relative));
        if (!problem.isEmpty()) {
            return problem;
        }
    }
    // The site file last, so that it never names folders that are not there yet.
    return copyResource(kDemoRoot + QLatin1Char('/') + kSiteFileName,
                        target.filePath(kSiteFileName));
}

QString ensureSiteFile(const QString& appFolder, QString* error) {
    const QString fromEnvironment = qEnvironmentVariable("TAVREL_SITE");
    if (!fromEnvironment.isEmpty()) {
        return QFileInfo(fromEnvironment).absoluteFilePath();
    }
    const QString path = QDir(appFolder).absoluteFilePath(kSiteFileName);
    // Only a site file that is not there at all is replaced by the demo: one that cannot
    // be read (no permission, a link that leads nowhere) is reported when it is loaded.
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 &&
        (errno == ENOENT || errno == ENOTDIR)) {
        const QString problem = writeDemoSite(appFolder);
        if (error != nullptr) {
            *error = problem.isEmpty()
                         ? QString()
                         : QStringLiteral("the demo site could not be written: ") + problem;
        }
    }
    return path;
}

}  // namespace tavrel
