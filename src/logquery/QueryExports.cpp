#include "logquery/QueryExports.h"

#include <QFileInfo>
#include <QSaveFile>

#include "common/Clock.h"
#include "common/Platform.h"
#include "common/Prompts.h"
#include "logquery/ExportText.h"
#include "logquery/QueryText.h"
#include "logquery/ResultSet.h"

namespace tavrel {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QueryExports::QueryExports(Prompts& prompts, Platform& platform, Clock& clock, QString appFolder,
                           std::function<void(bool)> setBusy)
    : m_prompts(prompts),
      m_platform(platform),
      m_clock(clock),
      m_appFolder(std::move(appFolder)),
      m_setBusy(std::move(setBusy)) {}

void QueryExports::busy(bool on) const {
    if (m_setBusy) {
        m_setBusy(on);
    }
}

QString QueryExports::printRecords(ResultSet& result, const QString& statementText) {
    busy(true);
    const exporttext::PrintedRecords printed = exporttext::printedRecords(result, statementText);
    PrintJob job;
    job.documentName = querytexts::kTitle;
    job.fontFamily = QStringLiteral("Courier New");
    job.headingLines = printed.headingLines;
    job.lines = printed.lines;
    job.pdfPath = m_appFolder + QStringLiteral("records-") +
                  m_clock.now().toString(QStringLiteral("yyyyMMdd-hhmmss")) +
                  QStringLiteral(".pdf");
    const PrintResult outcome = m_platform.print(job);
    busy(false);
    switch (outcome.kind) {
        case PrintResult::Kind::Printed:
            return QStringLiteral("Records sent to printer");
        case PrintResult::Kind::SavedAsPdf:
            return QStringLiteral("No printer: records saved to ") + outcome.detail;
        case PrintResult::Kind::Failed:
            break;
    }
    return QStringLiteral("Records not printed: ") + outcome.detail;
}

std::optional<QString> QueryExports::copyRecords(ResultSet& result) {
    const bool commas = m_prompts.askYesNo(QStringLiteral("Seperate field values with commas?"),
                                           kAppTitle, MessageIcon::Question);
    int spaces = 0;
    if (!commas) {
        const QString text =
            m_prompts.inputBox({QStringLiteral("Number of spaces between field values"), kAppTitle,
                                QStringLiteral("2")});
        const std::optional<int> answer = querytext::copySpaces(text);
        if (!answer) {
            const QString problem = querytext::copySpacesProblem(text);
            return problem.isEmpty() ? std::nullopt : std::optional(problem);
        }
        spaces = *answer;
    }
    busy(true);
    const QString text = exporttext::copiedRecords(result, commas, spaces);
    m_platform.setClipboardText(text);
    busy(false);
    return QString::number(text.size()) + QStringLiteral(" characters copied to Clipboard.");
}

void QueryExports::showError(int number, const QString& description) {
    m_platform.beep();
    busy(false);
    m_prompts.message(
        QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" : ") + description,
        MessageIcon::Exclamation, QStringLiteral("Error Message"));
}

std::optional<QString> QueryExports::saveCsv(ResultSet& result) {
    const QString answer =
        m_prompts.inputBox({QStringLiteral("Enter file name"),
                            QStringLiteral("Create a Comma Seperated Values (CSV) File"),
                            QStringLiteral("results.csv")});
    if (answer.isEmpty()) {
        return std::nullopt;
    }
    busy(true);
    const QString name = querytext::csvFileName(answer);
    if (name.isEmpty()) {
        showError(kBadFileName, QStringLiteral("Bad file name or number"));
        return std::nullopt;
    }
    const QString path = m_appFolder + name;
    // Written beside the file and put in its place only when whole, so a failure leaves
    // the file that was there as it was. Unbuffered: each write fails as it happens.
    QSaveFile file(path);
    const QFileInfo existing(path);
    if ((existing.exists() && !existing.isWritable()) ||
        !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const bool denied = (existing.exists() && !existing.isWritable()) ||
                            file.error() == QFileDevice::PermissionsError;
        if (denied) {
            showError(kPermissionDenied, QStringLiteral("Permission denied") + kCrLf +
                                             QStringLiteral("File is already open."));
        } else {
            showError(kPathFileAccess, file.errorString());
        }
        return std::nullopt;
    }
    QString error;
    if (!exporttext::writeCsv(result, file, &error)) {
        file.cancelWriting();
        showError(file.error() == QFileDevice::ResourceError ? kDiskFull : kPathFileAccess, error);
        return std::nullopt;
    }
    if (!file.commit()) {
        showError(
            file.error() == QFileDevice::PermissionsError ? kPermissionDenied : kPathFileAccess,
            file.errorString());
        return std::nullopt;
    }
    busy(false);
    return path;
}

void QueryExports::offerToOpen(const QString& path) {
    if (m_prompts.askYesNo(QStringLiteral("File ") + path + QStringLiteral(" has been created.") +
                               kCrLf + QStringLiteral("Do you want to open the file?"),
                           kAppTitle, MessageIcon::Question) &&
        !m_platform.openDocument(path)) {
        m_platform.beep();
        m_prompts.message(QStringLiteral("Can't open file."), MessageIcon::Exclamation);
    }
}

}  // namespace tavrel
