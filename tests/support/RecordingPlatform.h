#pragma once

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

    QStringList viewed;
    QStringList opened;
    QString clipboard;
    bool viewerWorks = true;
    bool openerWorks = true;
};

}  // namespace tavrel::test
