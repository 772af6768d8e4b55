#include "common/DesktopPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
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

}  // namespace

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
