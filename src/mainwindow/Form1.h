#pragma once

#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <QSet>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "common/BusyPointer.h"
#include "filelist/FileListStore.h"
#include "mainwindow/APIStuff.h"
#include "mainwindow/FindRules.h"
#include "mainwindow/ImageList.h"
#include "mainwindow/UserActions.h"
#include "monitor/AutoScan.h"
#include "monitor/ReleaseWatch.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanView.h"
#include "monitor/UsageLog.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QMenu;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidgetItem;

namespace tavrel {

class AppContext;
class NodeTree;
class StatusLine;
class TrayPort;
class frmFind;
struct ActionNode;
struct UserConnection;
enum class EditButtons;

// The main window: the tree of monitored files and the users holding them open, the
// command buttons, the tree options, auto scan and the notification-area icon. The scan
// draws into the tree through ScanView.
class Form1 : public QWidget, public ScanView {
    Q_OBJECT
public:
    // commandLine: the program's one argument text. tray: the notification area (the
    // desktop's when none is given).
    explicit Form1(AppContext& context, QString commandLine = QString(),
                   std::unique_ptr<TrayPort> tray = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up. False when the program must end: no NetWare client (the operator has
    // been told why; nothing was written).
    bool Form_Load();
    // The window is closing; Cancel = 1 keeps it open.
    void Form_Unload(int& Cancel);
    // Closes through Form_Unload without the exit question: the desktop session or a
    // service manager is ending the program.
    void closeWithoutQuestion();
    void Form_Resize();
    // A typed character, seen before the focused control; KeyAscii = 0 swallows it. Shift
    // holds the Shift (1), Ctrl (2) and Alt (4) keys held.
    void Form_KeyPress(int& KeyAscii, int Shift = 0);
    // A key going down, seen before the focused control: the command keys (Ins, Del,
    // F1-F8). While a scan runs only F2 acts, to stop it (Esc closes, as the close box).
    void Form_KeyDown(int KeyCode, int Shift);

    void cmdScan_Click();
    void cmdStop_Click();
    void Timer1_Timer();
    void ckAutoScan_Click();
    void ckDatabase_Click();
    void cmdExpand_Click();
    void cmdShowTreeOptions_Click();
    void cmdExit_Click();
    void cmdAddFile_Click();
    void cmdEditFile_Click();
    void cmdDeleteFile_Click();
    void cmdDatabase_Click();
    void cmdDetails_Click();
    void cmdAbout_Click();

    void ckButtonTips_Click();
    void ckPicture_Click();
    void ckPlusMinus_Click();
    void ckUserDetails_Click();
    void ckHotTracking_Click();
    void ckFullRowSelect_Click();
    void ckExpandItem_Click();
    void ckKeepExpanded_Click();

    void TreeView1_MouseDown(Qt::MouseButton Button);
    void TreeView1_NodeClick(QTreeWidgetItem* Node);
    void TreeView1_NodeCheck(QTreeWidgetItem* Node);

    // Check-box selection of users.
    void mnuPopupAll_Click();
    void mnuPopupNone_Click();
    void mnuPopupFile_Click();
    void mnuPopupFileNone_Click();

    // Actions of the popup menu on the node it was opened on.
    void mnuPopupDetails_Click();
    void mnuPopupSend_Click();
    void mnuPopupSendSel_Click();
    void mnuPopupClear_Click();
    void mnuPopupClearSel_Click();
    void mnuPopupUnlock_Click();
    void mnuPopupUnlockAll_Click();
    // Arms or disarms the release notice of the file the menu was opened on.
    void mnuPopupNotify_Click(bool checked);

    // Find: opens the find window modally (created on first use, then kept hidden).
    void cmdFind_Click();
    // Find Next: the find window's search from the node after the selected one.
    void cmdFindNext_Click();
    // Searches the tree from the first node (fromTop) or from the node after the selected
    // one; a match becomes the selected node (ticked when asked) and shows Find Next, no
    // match hides it. True when found.
    bool findInTree(const FindSettings& settings, bool fromTop);
    // The find window, nullptr until Find is first pressed.
    frmFind* findWindow() const { return m_find; }

    // 0 normal, 1 minimised, 2 maximised: the tray menu's Restore is enabled only when
    // there is something to restore.
    void SetTrayMenuItems(int windowState);
    void mnuTrayRestore_Click();
    void mnuTrayExit_Click();

    // ScanView over TreeView1.
    void clearNodes() override;
    int addNode(int parentIndex, const QString& key, const QString& text,
                const QString& imageKey) override;
    void setNodeTag(int index, const QString& tag) override;
    void setNodeText(int index, const QString& text) override;
    void setStatusText(const QString& text) override;
    void showScanSummary(const ScanSummary& summary) override;
    void setButtonVisible(ScanButton button, bool visible) override;
    void setExpandCaption(const QString& caption) override;
    void focusButton(ScanButton button) override;
    void setBusy(bool busy) override;
    void uncheckAutoScan() override;
    void yield() override;

    // A node's Tag and Key ("" when it has none).
    static QString nodeTag(const QTreeWidgetItem* node);
    static QString nodeKey(const QTreeWidgetItem* node);
    // Level and monitored file number of a node, by its tag or, untagged before any
    // completed scan, by its place in the tree.
    int nodeLevel(const QTreeWidgetItem* node) const;
    qint16 nodeFileNumber(const QTreeWidgetItem* node) const;
    // Every node in node order (each node before its children, children in order).
    std::vector<QTreeWidgetItem*> nodesInOrder() const;

    const AutoScan& autoScan() const { return m_autoScan; }
    ScanCycle& scanCycle() { return m_scan; }
    ReleaseWatch& releaseWatch() { return m_release; }
    // The usage log scans store into; there from start-up on.
    UsageLog* usageLog() const { return m_usageLog.get(); }
    APIStuff& trayIcon() { return m_tray; }
    bool isUnloaded() const { return m_unloaded; }
    // The status line's whole text: the message and the problems that stand after it.
    QString statusText() const;
    // The scan lets pending events run at most this often (a tree of thousands of nodes
    // is built many times faster than when every file waits for a repaint).
    void setYieldIntervalMs(int ms) { m_yieldIntervalMs = ms; }
    static constexpr int kYieldIntervalMs = 40;

    // Controls.
    NodeTree* TreeView1;
    QPushButton* cmdScan;
    QPushButton* cmdStop;
    QPushButton* cmdExpand;
    QPushButton* cmdAddFile;
    QPushButton* cmdEditFile;
    QPushButton* cmdDeleteFile;
    QPushButton* cmdFind;
    QPushButton* cmdFindNext;
    QPushButton* cmdDatabase;
    QPushButton* cmdDetails;
    QPushButton* cmdAbout;
    QPushButton* cmdExit;
    QPushButton* cmdShowTreeOptions;
    QCheckBox* ckButtonTips;
    QCheckBox* ckAutoScan;
    QCheckBox* ckDatabase;
    QGroupBox* Frame1;
    QCheckBox* ckPicture;
    QCheckBox* ckUserDetails;
    QCheckBox* ckPlusMinus;
    QCheckBox* ckExpandItem;
    QCheckBox* ckHotTracking;
    QCheckBox* ckFullRowSelect;
    QCheckBox* ckKeepExpanded;
    QSpinBox* txtHeldLimit;  // "Alert when a file is held longer than N minutes"
    StatusLine* sbStatus;
    QTimer* Timer1;
    ImageList ImageList1;
    QMenu* mnuPopup;
    QAction* mnuPopupDetails;
    QAction* mnuPopupAll;
    QAction* mnuPopupNone;
    QAction* mnuPopupFile;
    QAction* mnuPopupFileNone;
    QAction* mnuPopupSend;
    QAction* mnuPopupSendSel;
    QAction* mnuPopupClear;
    QAction* mnuPopupClearSel;
    QAction* mnuPopupUnlock;
    QAction* mnuPopupUnlockAll;
    QAction* mnuPopupNotify;
    QMenu* mnuTray;
    QAction* mnuTrayRestore;
    QAction* mnuTrayExit;

    // Tree options as the scan and the tree read them (0 or 1).
    quint8 PicturesOption = 1;
    quint8 PlusMinusOption = 1;
    quint8 UserDetailsOption = 1;
    quint8 HotTrackingOption = 0;
    quint8 FullRowSelectOption = 0;
    quint8 ExpandItemOption = 0;
    quint8 KeepExpandedOption = 0;
    // The button of the last press on the tree: 1 left, 2 right.
    int TreeMouseButton = 0;

signals:
    // The window closed through Form_Unload: the program is done.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    // The Tree Options frame and its boxes.
    void createOptionControls();
    void loadOptions();
    void saveOptions();
    // The exit question while auto scan runs: true when the window may close. Asked once
    // per close, however many ways the close then goes through.
    bool mayExit();
    void fitCaptions();
    void applyButtonTips();
    void showTrayTip();
    void applyTreeStyle();
    void applyEditButtons(EditButtons rule);
    void showAutoScanState();
    void showFileDescription(const QTreeWidgetItem* node);
    QTreeWidgetItem* selectedFileNode();
    bool fileListChangedUnder(const QString& nodeText, qint16 number);
    void showEmptyList();
    // Closes the usage log's open rows of the files that left the list since before.
    void closeRowsOfRemovedFiles(const QList<FileListEntry>& before);
    void tickAll(bool ticked);
    void tickFileGroup(bool ticked);
    void attachPendingNodes();
    // The nodes open and the node selected, by their names across scans (nodeTrail).
    struct TreeShape {
        QSet<QString> expanded;
        QString current;
    };
    QString nodeTrail(const QTreeWidgetItem* node) const;
    TreeShape treeShape() const;
    void restoreTreeShape(const TreeShape& shape);
    // Tells the operator what the last scan noticed: from the tray icon where there is
    // one, else on the status line with a beep.
    void showReleaseNotices();
    bool previewKey(const QKeyEvent& event);
    bool blockedDuringScan(const QWidget* receiver) const;
    QPushButton* button(ScanButton which) const;
    // The node the popup menu was opened on, nullptr once a scan has replaced it.
    QTreeWidgetItem* popupNode() const;
    // The connection of the user the popup menu was opened on (to *target), and the
    // journal's entry of an action on it; nothing while a scan runs or off a node.
    std::optional<JournalEntry> popupUserConnection(const QString& action, UserConnection* target);
    // The ticked users' connections, each with the journal's entry of an action on it.
    QList<std::pair<UserConnection, JournalEntry>> tickedTargets(const QString& action);
    // Writes an action's rows to the journal; tells the operator when they could not be.
    void journalActions(const QList<JournalEntry>& entries);
    static QList<ActionNode> actionNodes(const std::vector<QTreeWidgetItem*>& nodes);

    AppContext& m_context;
    QString m_commandLine;
    AutoScan m_autoScan;
    ScanCycle m_scan;
    APIStuff m_tray;
    std::unique_ptr<UsageLog> m_usageLog;
    ReleaseWatch m_release;
    QList<ReleaseNotice> m_notices;         // of the scan in progress
    QHash<QString, QDateTime> m_openSince;  // the log's open rows at the first stored scan
    bool m_openSinceRead = false;

    // Nodes by ScanView index (1-based). During a scan (busy), children of a top-level
    // node wait in m_pending, unattached, until the scan yields or ends.
    std::vector<QTreeWidgetItem*> m_nodes;
    std::vector<std::pair<QTreeWidgetItem*, QTreeWidgetItem*>> m_pending;  // parent, child
    std::optional<BusyPointer> m_scanBusy;
    QElapsedTimer m_sinceYield;
    int m_yieldIntervalMs = kYieldIntervalMs;
    bool m_closeAfterScan = false;
    bool m_exitConfirmed = false;
    bool m_unloaded = false;
    QPersistentModelIndex m_popupNode;
    frmFind* m_find = nullptr;
};

}  // namespace tavrel
