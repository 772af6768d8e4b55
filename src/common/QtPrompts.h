#pragma once

#include "common/Prompts.h"

namespace tavrel {

// Prompts as Qt's message boxes, input dialogs and file dialogs, over the active window.
class QtPrompts : public Prompts {
public:
    MessageAnswer messageBox(const MessageBoxRequest& request) override;
    QString inputBox(const InputBoxRequest& request) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;

    // "Text (*.sql)|*.sql" to Qt's "Text (*.sql)".
    static QString qtFilter(const QString& filter);
};

}  // namespace tavrel
