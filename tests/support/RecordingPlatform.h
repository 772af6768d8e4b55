#pragma once

#include <QList>
#include <QStringList>

#include "common/Platform.h"

namespace tavrel::test {

// Records what the program asked of the desktop.
class RecordingPlatform : public Platform {
public:
    bool openTextViewer(const QString& path) override {
        viewed.append(path);
        return viewerWorks;
    }
    bool openDocument(const QString& path) override {
        opened.append(path);
        return openerWorks;
    }
    void setClipboardText(const QString& text) override { clipboard = text; }
    QString clipboardText() const override { return clipboard; }
    PrintResult print(const PrintJob& job) override {
        printed.append(job);
        return printResult;
    }
    void beep() override { ++beeps; }

    QStringList viewed;
    QStringList opened;
    QString clipboard;
    bool viewerWorks = true;
    bool openerWorks = true;
    QList<PrintJob> printed;
    PrintResult printResult{PrintResult::Kind::Printed, QString()};
    int beeps = 0;
};

}  // namespace tavrel::test
