#include "support/ScriptedPrompts.h"

namespace tavrel::test {

MessageAnswer ScriptedPrompts::messageBox(const MessageBoxRequest& request) {
    m_asked.append({Asked::Kind::MessageBox, request, {}, {}});
    if (m_answers.empty()) {
        return request.defaultButton;
    }
    const MessageAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QString ScriptedPrompts::nextText() {
    if (m_texts.empty()) {
        return QString();
    }
    QString text = m_texts.front();
    m_texts.pop_front();
    return text;
}

QString ScriptedPrompts::inputBox(const InputBoxRequest& request) {
    m_asked.append({Asked::Kind::InputBox, {}, request, {}});
    return nextText();
}

QString ScriptedPrompts::openFileName(const FileDialogRequest& request) {
    m_asked.append({Asked::Kind::OpenFile, {}, {}, request});
    return nextText();
}

QString ScriptedPrompts::saveFileName(const FileDialogRequest& request) {
    m_asked.append({Asked::Kind::SaveFile, {}, {}, request});
    return nextText();
}

QStringList ScriptedPrompts::messages() const {
    QStringList texts;
    for (const Asked& a : m_asked) {
        if (a.kind == Asked::Kind::MessageBox) {
            texts.append(a.message.text);
        }
    }
    return texts;
}

}  // namespace tavrel::test
