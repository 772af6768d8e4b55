#pragma once

#include <QString>

namespace tavrel {

// Desktop services outside the program's windows.
class Platform {
public:
    virtual ~Platform() = default;

    // Shows a plain text file (the FAQ) in a viewer; false when none could be started.
    virtual bool openTextViewer(const QString& path) = 0;
    // Opens a document (a CSV export) with the desktop's application for it.
    virtual bool openDocument(const QString& path) = 0;
    virtual void setClipboardText(const QString& text) = 0;
    virtual QString clipboardText() const = 0;
};

}  // namespace tavrel
