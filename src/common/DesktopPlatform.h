#pragma once

#include "common/Platform.h"

namespace tavrel {

// The desktop's own viewer, document opener and clipboard.
class DesktopPlatform : public Platform {
public:
    bool openTextViewer(const QString& path) override;
    bool openDocument(const QString& path) override;
    void setClipboardText(const QString& text) override;
    QString clipboardText() const override;
    PrintResult print(const PrintJob& job) override;
    void beep() override;
};

}  // namespace tavrel
