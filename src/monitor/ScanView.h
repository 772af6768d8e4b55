#pragma once

#include <QString>
#include <QStringList>

namespace tavrel {

// Texts the scan and the main window both write.
inline const QString kRootKey = QStringLiteral("Tree");
inline const QString kRootText = QStringLiteral("Tree");
inline const QString kIdleText = QStringLiteral("Idle");
inline const QString kExpandAllCaption = QStringLiteral("Expand All [F3]");

// What a completed scan found: the monitored files, the users holding any of them (each
// name once) and what went wrong without stopping the scan ("Samba server not read: ...",
// "log not updated: ..."), none when all went well.
struct ScanSummary {
    int files = 0;
    int users = 0;
    QStringList problems;
};

// The main window's buttons a scan shows, hides or focuses.
enum class ScanButton { Scan, Stop, Expand, Find, AddFile, EditFile, DeleteFile };

// What a scan does to the window. The main window implements it over its tree; tests
// and tavrelctl record or print.
class ScanView {
public:
    virtual ~ScanView() = default;

    // Removes every node of the tree.
    virtual void clearNodes() = 0;
    // Adds a node as the last child of parentIndex (0: a top-level node) and returns its
    // index: nodes are numbered 1, 2, ... in the order they were added. key and imageKey
    // may be empty.
    virtual int addNode(int parentIndex, const QString& key, const QString& text,
                        const QString& imageKey) = 0;
    virtual void setNodeTag(int index, const QString& tag) = 0;
    // Changes a node's text (a file whose connections come in several answers).
    virtual void setNodeText(int index, const QString& text) = 0;

    virtual void setStatusText(const QString& text) = 0;
    // The end of a completed scan: says what it found, and the problems, which stand until
    // the next scan that completes.
    virtual void showScanSummary(const ScanSummary& summary) = 0;
    virtual void setButtonVisible(ScanButton button, bool visible) = 0;
    virtual void setExpandCaption(const QString& caption) = 0;
    virtual void focusButton(ScanButton button) = 0;
    virtual void setBusy(bool busy) = 0;
    // Unchecks Auto Scan (which switches auto scan off).
    virtual void uncheckAutoScan() = 0;
    // Lets pending window events run; called before every connection-scan call.
    virtual void yield() = 0;
};

}  // namespace tavrel
