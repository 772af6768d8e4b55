#include "about/AboutText.h"

#include <QFile>
#include <QFileInfo>

#include "common/AppTitle.h"
#include "common/SaveWhole.h"

namespace tavrel {

QString aboutDescription(int majorVersion, int minorVersion) {
    const QString crLf = QStringLiteral("\r\n");
    return kAppTitle + QLatin1Char(' ') + QString::number(majorVersion) + QLatin1Char('.') +
           QString::number(minorVersion) + crLf + crLf + kAppTitle +
           QStringLiteral(" is a powerful file monitoring file utility for Novell ") +
           QStringLiteral("file servers. Discover how many users opened a file, the length ") +
           QStringLiteral("of time a user had a file open,  how many times a user opened ") +
           QStringLiteral("a file, the average length of time a user had a file open, etc. ") +
           QStringLiteral("With ") + kAppTitle +
           QStringLiteral(" you can also send messages to users, clear ") +
           QStringLiteral("user's connections, unlock locked files, get extended file ") +
           QStringLiteral("information, and run queries against the log database to ") +
           QStringLiteral("discover important details about file usage.");
}

QString faqPath(const QString& appFolder) {
    return appFolder + QStringLiteral("faq.fil");
}

QString ensureFaqFile(const QString& appFolder, QString* problem) {
    const QString path = faqPath(appFolder);
    if (QFileInfo::exists(path)) {
        return path;
    }
    QFile supplied(QStringLiteral(":/faq/faq.fil"));
    const QString error = supplied.open(QIODevice::ReadOnly) ? saveWhole(path, supplied.readAll())
                                                             : supplied.errorString();
    if (!error.isEmpty()) {
        if (problem != nullptr) {
            *problem = QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + error;
        }
        return QString();
    }
    return path;
}

}  // namespace tavrel
