#include "common/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace tavrel {

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton qtButton(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Ok:
            return QMessageBox::Ok;
        case MessageAnswer::Cancel:
            return QMessageBox::Cancel;
        case MessageAnswer::Yes:
            return QMessageBox::Yes;
        case MessageAnswer::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return QMessageBox::Ok;
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

MessageAnswer QtPrompts::messageBox(const MessageBoxRequest& request) {
    QMessageBox box(qtIcon(request.icon), request.title, request.text, qtButtons(request.buttons),
                    QApplication::activeWindow());
    box.setDefaultButton(qtButton(request.defaultButton));
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            break;
    }
    // Closing a Yes/No box by its close box answers No, never Yes.
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

QString QtPrompts::inputBox(const InputBoxRequest& request) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), request.title, request.prompt,
                              QLineEdit::Normal, request.defaultText, &ok);
    return ok ? text : QString();
}

QString QtPrompts::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& display = parts.at(i);
        QString pattern = parts.at(i + 1);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(display.contains(QLatin1Char('('))
                           ? display
                           : display + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtPrompts::openFileName(const FileDialogRequest& request) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), request.title,
                                        request.initialFolder, qtFilter(request.filter));
}

QString QtPrompts::saveFileName(const FileDialogRequest& request) {
    QFileDialog::Options options;
    if (!request.confirmOverwrite) {
        options |= QFileDialog::DontConfirmOverwrite;
    }
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), request.title,
                                        request.initialFolder, qtFilter(request.filter), nullptr,
                                        options);
}

}  // namespace tavrel
