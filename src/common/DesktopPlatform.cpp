#include "common/DesktopPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QUrl>
#include <QVBoxLayout>

namespace tavrel {

namespace {

// A read-only window for a text file, where the desktop has no viewer.
void showBuiltInViewer(const QString& path, const QString& text) {
    auto* dialog = new QDialog(QApplication::activeWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QFileInfo(path).fileName());
    auto* view = new QPlainTextEdit(dialog);
    view->setReadOnly(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlainText(text);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(view);
    dialog->resize(640, 480);
    dialog->show();
}

// Draws the job's lines one below the other, starting a new page where one is full.
bool printLines(QPrinter& printer, const PrintJob& job, QString* error) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        *error = QStringLiteral("The printer could not be started.");
        return false;
    }
    QFont font(job.fontFamily, 10);
    font.setStyleHint(QFont::TypeWriter);
    QFont emphasised = font;
    emphasised.setBold(true);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int lineHeight = QFontMetrics(font, &printer).lineSpacing();
    int y = 0;
    const auto printLine = [&](const QString& line, const QFont& lineFont) {
        if (y + lineHeight > page.height()) {
            printer.newPage();
            y = 0;
        }
        painter.setFont(lineFont);
        painter.drawText(0, y + QFontMetrics(lineFont, &printer).ascent(), line);
        y += lineHeight;
    };
    for (const QString& line : job.headingLines) {
        printLine(line, emphasised);
    }
    for (const QString& line : job.lines) {
        printLine(line, font);
    }
    return painter.end();
}

}  // namespace

PrintResult DesktopPlatform::print(const PrintJob& job) {
    const bool hasPrinter = !QPrinterInfo::defaultPrinter().isNull();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(job.documentName);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    if (!hasPrinter) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(job.pdfPath);
    }
    QString error;
    if (!printLines(printer, job, &error)) {
        return {PrintResult::Kind::Failed, error};
    }
    if (hasPrinter) {
        return {PrintResult::Kind::Printed, printer.printerName()};
    }
    return {PrintResult::Kind::SavedAsPdf, job.pdfPath};
}

void DesktopPlatform::beep() {
    QApplication::beep();
}

bool DesktopPlatform::openTextViewer(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        return true;
    }
    showBuiltInViewer(path, QString::fromLocal8Bit(file.readAll()));
    return true;
}

bool DesktopPlatform::openDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopPlatform::setClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

QString DesktopPlatform::clipboardText() const {
    return QGuiApplication::clipboard()->text();
}

}  // namespace tavrel
