#include "monitor/ScanFilesJson.h"

#include <QDateTime>
#include <QJsonObject>

#include "filelist/FileListStore.h"
#include "monitor/ScanTexts.h"

namespace tavrel {

namespace {

QJsonValue wordList(const QString& words) {
    return QJsonArray::fromStringList(words.isEmpty() ? QStringList()
                                                      : words.split(QLatin1Char(',')));
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject holderJson(const ScanHolder& holder) {
    return QJsonObject{
        {QStringLiteral("user"), holder.user},
        {QStringLiteral("connection"), holder.connection},
        {QStringLiteral("task"), holder.task},
        {QStringLiteral("openMode"),
         holder.lockType == 8 ? QStringLiteral("Shareable") : QStringLiteral("Exclusive")},
        {QStringLiteral("fileRights"), wordList(OpenModeWords(holder.accessControl))},
        {QStringLiteral("directoryRights"),
         holder.directoryRights ? wordList(*holder.directoryRights) : QJsonValue()},
        {QStringLiteral("locked"), holder.locked},
        {QStringLiteral("loginTime"), textOrNull(loginTimeIso(holder.loginTime))},
        {QStringLiteral("networkAddress"),
         holder.address ? QJsonValue(NetworkAddressText(*holder.address)) : QJsonValue()},
    };
}

}  // namespace

QString loginTimeIso(const LoginTime& loginTime) {
    const QDate date(1900 + loginTime[0], loginTime[1], loginTime[2]);
    const QTime time(loginTime[3], loginTime[4], loginTime[5]);
    if (!date.isValid() || !time.isValid()) {
        return QString();
    }
    const QDateTime local(date, time);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QJsonArray scanFilesJson(const ScanFileTable& files, SettingsStore& settings) {
    QJsonArray result;
    const QStringList descriptions = fileDescriptions(settings, int(files.size()));
    for (qsizetype k = 0; k < files.size(); ++k) {
        const ScanFileEntry& entry = files.at(k);
        QJsonArray holders;
        for (const ScanHolder& holder : entry.Holders) {
            holders.append(holderJson(holder));
        }
        result.append(QJsonObject{
            {QStringLiteral("path"), entry.Path},
            {QStringLiteral("description"), descriptions.value(k)},
            {QStringLiteral("server"), entry.Found ? textOrNull(entry.Server) : QJsonValue()},
            {QStringLiteral("found"), entry.Found},
            {QStringLiteral("error"), textOrNull(entry.Error)},
            {QStringLiteral("holders"), holders},
        });
    }
    return result;
}

}  // namespace tavrel
