#pragma once

#include <QTextStream>

#include "common/Prompts.h"

namespace tavrel {

// Prompts for a program without windows: messages go to the error stream and every
// question takes its default answer.
class ConsolePrompts : public Prompts {
public:
    explicit ConsolePrompts(QTextStream& err) : m_err(err) {}

    MessageAnswer messageBox(const MessageBoxRequest& request) override {
        m_err << "tavrelctl: " << request.text << "\n";
        m_err.flush();
        return request.defaultButton;
    }
    QString inputBox(const InputBoxRequest&) override { return QString(); }
    QString openFileName(const FileDialogRequest&) override { return QString(); }
    QString saveFileName(const FileDialogRequest&) override { return QString(); }

private:
    QTextStream& m_err;
};

}  // namespace tavrel
