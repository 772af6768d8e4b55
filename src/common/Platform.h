#pragma once

#include <QString>
#include <QStringList>

namespace tavrel {

// A plain text document to print in a fixed-pitch font: the heading lines emphasised,
// then the lines. pdfPath is where it goes when the machine has no printer.
struct PrintJob {
    QString documentName;
    QString fontFamily;
    QStringList headingLines;
    QStringList lines;
    QString pdfPath;
};

struct PrintResult {
    enum class Kind { Printed, SavedAsPdf, Failed };
    Kind kind = Kind::Failed;
    QString detail;  // the PDF written, or why nothing was printed
};

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
    // Prints on the default printer, or writes the PDF the job names when there is none.
    virtual PrintResult print(const PrintJob& job) = 0;
    // The system's short warning sound.
    virtual void beep() = 0;
};

}  // namespace tavrel
