#pragma once

#include <QString>

#include "common/AppTitle.h"

namespace tavrel {

enum class MessageIcon { None, Information, Question, Exclamation, Critical };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QString text;
    QString title = kAppTitle;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageAnswer defaultButton = MessageAnswer::Ok;
};

struct InputBoxRequest {
    QString prompt;
    QString title = kAppTitle;
    QString defaultText;
};

struct FileDialogRequest {
    QString title;
    QString filter;  // display text and pattern pairs separated by "|"
    QString initialFolder;
    bool mustExist = false;
    bool confirmOverwrite = false;
    bool confirmCreate = false;
};

// Every question and message the program puts to the operator goes through here, so
// tests can answer them from a script and see what was asked.
class Prompts {
public:
    virtual ~Prompts() = default;

    virtual MessageAnswer messageBox(const MessageBoxRequest& request) = 0;
    // The text typed, or "" when the box was cancelled.
    virtual QString inputBox(const InputBoxRequest& request) = 0;
    // The chosen path, or "" when the dialog was cancelled.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    virtual QString saveFileName(const FileDialogRequest& request) = 0;

    // An OK-only message with the program's title.
    void message(const QString& text, MessageIcon icon = MessageIcon::None,
                 const QString& title = kAppTitle) {
        messageBox({text, title, icon, MessageButtons::Ok, MessageAnswer::Ok});
    }
    // A Yes/No question; true only for Yes.
    bool askYesNo(const QString& text, const QString& title, MessageIcon icon,
                  MessageAnswer defaultButton = MessageAnswer::Yes) {
        return messageBox({text, title, icon, MessageButtons::YesNo, defaultButton}) ==
               MessageAnswer::Yes;
    }
};

}  // namespace tavrel
