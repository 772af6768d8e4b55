#pragma once

#include <QList>
#include <QStringList>
#include <deque>

#include "common/Prompts.h"

namespace tavrel::test {

// Answers questions from a script and records every one asked. With the script empty,
// a message box answers its default button and the other prompts answer "".
class ScriptedPrompts : public Prompts {
public:
    struct Asked {
        enum class Kind { MessageBox, InputBox, OpenFile, SaveFile } kind;
        MessageBoxRequest message;  // MessageBox
        InputBoxRequest input;      // InputBox
        FileDialogRequest file;     // OpenFile, SaveFile
    };

    MessageAnswer messageBox(const MessageBoxRequest& request) override;
    QString inputBox(const InputBoxRequest& request) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;

    void answer(MessageAnswer answer) { m_answers.push_back(answer); }
    void answerText(const QString& text) { m_texts.push_back(text); }

    const QList<Asked>& asked() const { return m_asked; }
    // The texts of the message boxes shown, in order.
    QStringList messages() const;
    void clear() { m_asked.clear(); }

private:
    QString nextText();

    std::deque<MessageAnswer> m_answers;
    std::deque<QString> m_texts;
    QList<Asked> m_asked;
};

}  // namespace tavrel::test
