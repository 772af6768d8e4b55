#include "mainwindow/Form1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <algorithm>

#include "about/AboutText.h"
#include "about/frmAbout.h"
#include "common/AppContext.h"
#include "common/AppFolder.h"
#include "common/AppTitle.h"
#include "common/DriveMap.h"
#include "common/ImageKeys.h"
#include "common/Module1.h"
#include "common/Platform.h"
#include "common/Prompts.h"
#include "common/SettingsStore.h"
#include "common/Twips.h"
#include "common/WindowGestures.h"
#include "external/netware/NetWareClient.h"
#include "fileinfo/FileInfo.h"
#include "filelist/FileListStore.h"
#include "filelist/frmFile.h"
#include "logquery/frmData.h"
#include "logquery/frmDetails.h"
#include "mainwindow/CommandLine.h"
#include "mainwindow/KeyTable.h"
#include "mainwindow/NodeTree.h"
#include "mainwindow/PopupRules.h"
#include "mainwindow/StatusLine.h"
#include "mainwindow/SystemTrayPort.h"
#include "mainwindow/TreeNodeRules.h"
#include "mainwindow/TreeOptions.h"
#include "mainwindow/UserActions.h"
#include "mainwindow/frmFind.h"
#include "monitor/LogLocation.h"
#include "monitor/ScanTexts.h"

namespace tavrel {

namespace {

// The keyboard's code of a command key (Ins 45, Del 46, F1 112 ... F8 119); 0 for others.
int keyCodeOf(int key) {
    switch (key) {
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        default:
            return key >= Qt::Key_F1 && key <= Qt::Key_F8 ? 112 + (key - Qt::Key_F1) : 0;
    }
}

constexpr int kTagRole = Qt::UserRole;
constexpr int kKeyRole = Qt::UserRole + 1;
// Check boxes independent of each other: ticking a file ticks what the selection rules
// say, nothing more.
constexpr Qt::ItemFlags kNodeFlags =
    Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;

const QString kCollapseAllCaption = QStringLiteral("Collapse All [F3]");

// The client area, in pixels.
constexpr int kClientWidth = 9135 / 15;
constexpr int kClientHeight = 6135 / 15;
constexpr int kStatusBarHeight = 375 / 15;
// A caption that does not fit its place at the window's font gets a smaller one.
constexpr int kFontPixels = 11;
constexpr int kMinFontPixels = 8;

std::unique_ptr<TrayPort> orSystemTray(std::unique_ptr<TrayPort> tray) {
    return tray ? std::move(tray) : std::make_unique<SystemTrayPort>();
}

}  // namespace

Form1::Form1(AppContext& context, QString commandLine, std::unique_ptr<TrayPort> tray,
             QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_commandLine(std::move(commandLine)),
      m_autoScan(context.clock()),
      m_scan(context, *this),
      m_tray(orSystemTray(std::move(tray))),
      m_release(context.clock()) {
    ImageList1.add(imagekey::kUser, QIcon(QStringLiteral(":/images/user.png")));
    ImageList1.add(imagekey::kScan, QIcon(QStringLiteral(":/images/scan.png")));
    ImageList1.add(imagekey::kVigil, QIcon(QStringLiteral(":/images/vigil.png")));
    ImageList1.add(imagekey::kTree, QIcon(QStringLiteral(":/images/tree.png")));
    ImageList1.add(imagekey::kFile, QIcon(QStringLiteral(":/images/file.png")));

    createControls();
    setWindowTitle(kAppTitle);
    setWindowIcon(ImageList1.icon(m_autoScan.iconKey()));
    setFixedSize(kClientWidth, kClientHeight);
    // Key presses reach the window before the focused control, and input can be held
    // back from the controls while a scan runs.
    qApp->installEventFilter(this);
    WindowGestures::install(this, {sbStatus});
}

Form1::~Form1() {
    qApp->removeEventFilter(this);
    for (const auto& pending : m_pending) {
        delete pending.second;
    }
}

void Form1::createControls() {
    // About the size of the classic dialog font, so the captions fit the given places.
    QFont small = font();
    small.setPixelSize(kFontPixels);
    small.setStretch(QFont::SemiCondensed);  // taken where the desktop has such a face
    setFont(small);

    const auto makeButton = [this](const QString& caption, const QRect& geometry) {
        auto* b = new QPushButton(caption, this);
        b->setGeometry(geometry);
        b->setAutoDefault(false);
        return b;
    };
    const auto makeCheckBox = [](const QString& caption, QWidget* parent, const QRect& geometry) {
        auto* box = new QCheckBox(caption, parent);
        box->setGeometry(geometry);
        return box;
    };

    TreeView1 = new NodeTree(this);
    TreeView1->setGeometry(twips(120, 120, 7215, 5175));
    TreeView1->setIconSize(QSize(16, 16));

    cmdScan = makeButton(QStringLiteral("Scan [F2]"), twips(7440, 120, 1575, 375));
    cmdStop = makeButton(QStringLiteral("Stop [F2]"), twips(7440, 120, 1575, 375));
    cmdExpand = makeButton(kExpandAllCaption, twips(7440, 600, 1575, 375));
    cmdAddFile = makeButton(QStringLiteral("Add File.. [Ins]"), twips(7440, 1080, 1575, 375));
    cmdEditFile = makeButton(QStringLiteral("Edit File.. [F4]"), twips(7440, 1560, 1575, 375));
    cmdDeleteFile = makeButton(QStringLiteral("Delete File [Del]"), twips(7440, 2040, 1575, 375));
    cmdFind = makeButton(QStringLiteral("Find.. [F5]"), twips(7440, 2520, 1575, 375));
    cmdFindNext = makeButton(QStringLiteral("Find Next [F6]"), twips(7440, 3000, 1575, 375));
    cmdDatabase = makeButton(QStringLiteral("Database.. [F7]"), twips(7440, 3480, 1575, 375));
    cmdDetails = makeButton(QStringLiteral("Details.. [F8]"), twips(7440, 3960, 1575, 375));
    cmdAbout = makeButton(QStringLiteral("About"), twips(7440, 4440, 1575, 375));
    cmdExit = makeButton(QStringLiteral("Exit [Esc]"), twips(7440, 4920, 1575, 375));
    cmdShowTreeOptions = makeButton(QString(), twips(120, 5280, 1575, 375));

    ckButtonTips = makeCheckBox(QStringLiteral("Button Tips"), this, twips(2040, 5400, 1215, 255));
    ckAutoScan = makeCheckBox(QStringLiteral("Auto Scan"), this, twips(3360, 5400, 1095, 255));
    ckDatabase =
        makeCheckBox(QStringLiteral("Store Scan Results"), this, twips(4560, 5400, 1695, 255));

    createOptionControls();

    sbStatus = new StatusLine(this);
    sbStatus->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    sbStatus->setMessage(kIdleText);

    Timer1 = new QTimer(this);
    Timer1->setInterval(AutoScan::kIntervalMs);

    mnuPopup = new QMenu(this);
    mnuPopupDetails = mnuPopup->addAction(QStringLiteral("Extended File Information"));
    mnuPopupAll = mnuPopup->addAction(QStringLiteral("Select all users"));
    mnuPopupNone = mnuPopup->addAction(QStringLiteral("Unselect all users"));
    mnuPopupFile = mnuPopup->addAction(QStringLiteral("Select all users of file"));
    mnuPopupFileNone = mnuPopup->addAction(QStringLiteral("Unselect all users of file"));
    mnuPopupSend = mnuPopup->addAction(QStringLiteral("Send message to user"));
    mnuPopupSendSel = mnuPopup->addAction(QStringLiteral("Send message to selected users"));
    mnuPopupClear = mnuPopup->addAction(QStringLiteral("Clear connection of user"));
    mnuPopupClearSel = mnuPopup->addAction(QStringLiteral("Clear connection of selected users"));
    mnuPopupUnlock = mnuPopup->addAction(QStringLiteral("Unlock file"));
    mnuPopupUnlockAll = mnuPopup->addAction(QStringLiteral("Unlock all locked files"));
    mnuPopupNotify = mnuPopup->addAction(QStringLiteral("Notify When Free"));
    mnuPopupNotify->setCheckable(true);

    mnuTray = new QMenu(this);
    mnuTrayRestore = mnuTray->addAction(QStringLiteral("Restore"));
    mnuTrayExit = mnuTray->addAction(QStringLiteral("Exit"));
    mnuTrayRestore->setEnabled(false);

    for (QWidget* hidden :
         std::initializer_list<QWidget*>{cmdScan, cmdStop, cmdExpand, cmdEditFile, cmdDeleteFile,
                                         cmdFind, cmdFindNext, ckDatabase, Frame1}) {
        hidden->hide();
    }

    fitCaptions();

    connect(cmdScan, &QPushButton::clicked, this, &Form1::cmdScan_Click);
    connect(cmdStop, &QPushButton::clicked, this, &Form1::cmdStop_Click);
    connect(cmdExpand, &QPushButton::clicked, this, &Form1::cmdExpand_Click);
    connect(cmdShowTreeOptions, &QPushButton::clicked, this, &Form1::cmdShowTreeOptions_Click);
    connect(cmdExit, &QPushButton::clicked, this, &Form1::cmdExit_Click);
    connect(cmdAddFile, &QPushButton::clicked, this, &Form1::cmdAddFile_Click);
    connect(cmdEditFile, &QPushButton::clicked, this, &Form1::cmdEditFile_Click);
    connect(cmdDeleteFile, &QPushButton::clicked, this, &Form1::cmdDeleteFile_Click);
    connect(cmdDatabase, &QPushButton::clicked, this, &Form1::cmdDatabase_Click);
    connect(cmdDetails, &QPushButton::clicked, this, &Form1::cmdDetails_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &Form1::cmdAbout_Click);
    // Bound to the value, not the click: code that checks a box runs its behaviour too.
    connect(ckAutoScan, &QCheckBox::toggled, this, &Form1::ckAutoScan_Click);
    connect(ckDatabase, &QCheckBox::toggled, this, &Form1::ckDatabase_Click);
    connect(ckButtonTips, &QCheckBox::toggled, this, &Form1::ckButtonTips_Click);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(TreeView1, &NodeTree::mouseDown, this, &Form1::TreeView1_MouseDown);
    connect(TreeView1, &NodeTree::nodeClick, this, &Form1::TreeView1_NodeClick);
    connect(TreeView1, &NodeTree::nodeCheck, this, &Form1::TreeView1_NodeCheck);
    connect(mnuPopupDetails, &QAction::triggered, this, &Form1::mnuPopupDetails_Click);
    connect(mnuPopupAll, &QAction::triggered, this, &Form1::mnuPopupAll_Click);
    connect(mnuPopupNone, &QAction::triggered, this, &Form1::mnuPopupNone_Click);
    connect(mnuPopupFile, &QAction::triggered, this, &Form1::mnuPopupFile_Click);
    connect(mnuPopupFileNone, &QAction::triggered, this, &Form1::mnuPopupFileNone_Click);
    connect(mnuPopupSend, &QAction::triggered, this, &Form1::mnuPopupSend_Click);
    connect(mnuPopupSendSel, &QAction::triggered, this, &Form1::mnuPopupSendSel_Click);
    connect(mnuPopupClear, &QAction::triggered, this, &Form1::mnuPopupClear_Click);
    connect(mnuPopupClearSel, &QAction::triggered, this, &Form1::mnuPopupClearSel_Click);
    connect(mnuPopupUnlock, &QAction::triggered, this, &Form1::mnuPopupUnlock_Click);
    connect(mnuPopupUnlockAll, &QAction::triggered, this, &Form1::mnuPopupUnlockAll_Click);
    connect(mnuPopupNotify, &QAction::triggered, this, &Form1::mnuPopupNotify_Click);
    m_scan.setFinished([this](const ScanFileTable& scanFiles) {
        // Users who held a file before this run began count from the log's time of their
        // open, read once, from the first scan stored.
        if (!m_openSinceRead && m_usageLog && m_usageLog->storing()) {
            m_openSince = m_usageLog->openSince();
            m_openSinceRead = true;
        }
        m_notices += m_release.scanned(scanFiles);
    });
    m_release.setStayStart([this](const QString& path, const QString& user) {
        const auto found = m_openSince.constFind(UsageLog::openSinceKey(path, user));
        return found == m_openSince.cend() ? std::nullopt : std::optional<QDateTime>(*found);
    });
    connect(cmdFind, &QPushButton::clicked, this, &Form1::cmdFind_Click);
    connect(cmdFindNext, &QPushButton::clicked, this, &Form1::cmdFindNext_Click);
    connect(mnuTrayRestore, &QAction::triggered, this, &Form1::mnuTrayRestore_Click);
    connect(mnuTrayExit, &QAction::triggered, this, &Form1::mnuTrayExit_Click);
}

void Form1::fitCaptions() {
    for (QAbstractButton* control : findChildren<QAbstractButton*>()) {
        QFont smaller = control->font();
        while (control->sizeHint().width() > control->width() &&
               smaller.pixelSize() > kMinFontPixels) {
            smaller.setPixelSize(smaller.pixelSize() - 1);
            control->setFont(smaller);
        }
    }
}

// ---- Start-up and shutdown ----

bool Form1::Form_Load() {
    NetWareClient& netware = m_context.netware();
    if (netware.NWCallsInit() != nwcode::kSuccessful) {
        QString text = QStringLiteral("Error! Unable to initialize network.") + QLatin1Char('\n') +
                       QStringLiteral("You must have Novell Netware Client installed.");
        // The emulated client says what is wrong with its site file, so it can be mended.
        const QString reason = netware.initFailureReason();
        if (!reason.isEmpty()) {
            text += QLatin1Char('\n') + reason;
        }
        m_context.prompts().message(text, MessageIcon::Exclamation);
        return false;
    }

    BusyPointer busy;
    setWindowTitle(kAppTitle);
    if (m_context.AppFolder.isEmpty()) {
        m_context.AppFolder = resolveAppFolder(QCoreApplication::applicationDirPath());
    }
    m_context.InfoCallerForm = QStringLiteral("Form1");
    ensureFaqFile(m_context.AppFolder);  // the help key and the about box open it
    m_usageLog =
        std::make_unique<UsageLog>(loglocation::current(m_context.settings(), m_context.AppFolder),
                                   m_context.clock(), m_context.prompts(), m_autoScan.LastScanDate);
    m_usageLog->setStation(loglocation::station(m_context.settings()));
    LogDb::setDefaultApplicationName(QStringLiteral("Tavrel ") + m_usageLog->station());
    m_scan.setLogUpdate(
        [this](const ScanFileTable& scanFiles) { return m_usageLog->UpdateUsageLog(scanFiles); });

    if (!m_context.settings().isReadable(kAppTitle)) {
        // Read as empty, it would pass for a first run; it is never written over.
        m_context.prompts().message(unreadableSettingsMessage(m_context.settings(), kAppTitle),
                                    MessageIcon::Exclamation);
    }
    loadOptions();

    clearNodes();
    const auto image = [this](const QString& key) { return PicturesOption ? key : QString(); };
    const int root = addNode(0, kRootKey, kRootText, image(imagekey::kTree));
    const QList<FileListEntry> files = LoadFileList(m_context.settings());
    for (const FileListEntry& file : files) {
        addNode(root, QString(), file.path, image(imagekey::kFile));
    }
    if (!files.isEmpty()) {
        cmdScan->show();
        cmdExpand->show();
        cmdFind->show();
    }

    m_context.LastFileFolder = m_context.drives().dosPath(QCoreApplication::applicationDirPath());
    setStatusText(QStringLiteral("Welcome to ") + kAppTitle +
                  QStringLiteral("! Press the F1 key for help."));
    m_tray.TrayIconAdd(*this, *mnuTray);
    showTrayTip();

    const StartupSwitch startup = startupSwitchOf(m_commandLine);
    if (startup != StartupSwitch::None) {
        show();  // the operator sees the first scan fill the tree
        ckAutoScan->setChecked(true);
        if (startup == StartupSwitch::AutoScanAndStore) {
            ckDatabase->setChecked(true);
        }
        cmdScan_Click();
    }
    return true;
}

bool Form1::mayExit() {
    if (!ckAutoScan->isChecked() || m_exitConfirmed) {
        return true;
    }
    focusNextChild();
    m_exitConfirmed = m_context.prompts().askYesNo(
        QStringLiteral("Auto scan is active. Do you still want to exit?"),
        QStringLiteral("Exit Confirmation"), MessageIcon::Question);
    return m_exitConfirmed;
}

void Form1::Form_Unload(int& Cancel) {
    if (!mayExit()) {
        Cancel = 1;
        return;
    }
    saveOptions();
    m_tray.TrayIconDelete();
    if (m_usageLog) {
        m_usageLog->stopStoring();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    // A scan in progress is stopped first and the window closes once it has ended. With
    // auto scan on, the operator confirms before anything stops: No leaves the scan and
    // auto scan running as they were.
    if (m_scan.running()) {
        event->ignore();
        if (!m_closeAfterScan && mayExit()) {
            m_closeAfterScan = true;
            m_scan.cmdStop_Click();
        }
        return;
    }
    int Cancel = 0;
    Form_Unload(Cancel);
    if (Cancel != 0) {
        event->ignore();
        return;
    }
    m_unloaded = true;
    event->accept();
    emit unloaded();
}

void Form1::cmdExit_Click() {
    close();
}

void Form1::closeWithoutQuestion() {
    m_exitConfirmed = true;
    close();
}

// The windows of the usage log and the about box wait for no scan: one opened at a scan's
// yield would hold the scan until its time-out.

void Form1::cmdDatabase_Click() {
    if (m_scan.running()) {
        return;
    }
    frmData::showModal(m_context, this);
}

void Form1::cmdDetails_Click() {
    if (m_scan.running()) {
        return;
    }
    frmDetails::showModal(m_context, this);
}

void Form1::cmdAbout_Click() {
    if (m_scan.running()) {
        return;
    }
    frmAbout about(m_context, this);
    about.exec();
}

void Form1::Form_KeyPress(int& KeyAscii, int Shift) {
    // As the close box, Esc acts during a scan too: the scan stops and the window closes.
    if (keyPressCommandFor(KeyAscii, Shift) == KeyCommand::Exit) {
        KeyAscii = 0;
        close();
    }
}

namespace {

int shiftOf(Qt::KeyboardModifiers held) {
    return (held & Qt::ShiftModifier ? kShiftMask : 0) |
           (held & Qt::ControlModifier ? kCtrlMask : 0) | (held & Qt::AltModifier ? kAltMask : 0);
}

}  // namespace

void Form1::Form_KeyDown(int KeyCode, int Shift) {
    const KeyCommand command = keyCommandFor(KeyCode, Shift);
    if (m_scan.running() && !actsDuringScan(command)) {
        return;
    }
    if (command == KeyCommand::Help) {
        m_context.platform().openTextViewer(faqPath(m_context.AppFolder));
        return;
    }
    // The button of each command; a command whose button is hidden cannot be reached from
    // the keyboard either, except the two windows of the usage log, which are always there.
    const std::pair<KeyCommand, QPushButton*> buttons[] = {
        {KeyCommand::AddFile, cmdAddFile},
        {KeyCommand::DeleteFile, cmdDeleteFile},
        {KeyCommand::ScanOrStop, cmdScan->isVisibleTo(this) ? cmdScan : cmdStop},
        {KeyCommand::Expand, cmdExpand},
        {KeyCommand::EditFile, cmdEditFile},
        {KeyCommand::Find, cmdFind},
        {KeyCommand::FindNext, cmdFindNext},
        {KeyCommand::Database, cmdDatabase},
        {KeyCommand::Details, cmdDetails},
    };
    for (const auto& [which, button] : buttons) {
        const bool always = which == KeyCommand::Database || which == KeyCommand::Details;
        if (which == command && (always || button->isVisibleTo(this))) {
            button->click();
        }
    }
}

bool Form1::previewKey(const QKeyEvent& event) {
    if (const int KeyCode = keyCodeOf(event.key()); KeyCode != 0) {
        const int Shift = shiftOf(event.modifiers());
        Form_KeyDown(KeyCode, Shift);
        // The table's keys are the window's: a tree does not take F2 to edit a node.
        return Shift == 0;
    }
    int KeyAscii = 0;
    if (!event.text().isEmpty()) {
        KeyAscii = event.text().at(0).unicode();
    } else if (event.key() == Qt::Key_Escape) {
        KeyAscii = 27;
    }
    if (KeyAscii == 0) {
        return false;
    }
    Form_KeyPress(KeyAscii, shiftOf(event.modifiers()));
    return KeyAscii == 0;
}

bool Form1::blockedDuringScan(const QWidget* receiver) const {
    return receiver != cmdStop && qobject_cast<const QScrollBar*>(receiver) == nullptr;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick || type == QEvent::ContextMenu;
    if ((!key && !mouse) || !watched->isWidgetType()) {
        return false;
    }
    auto* receiver = static_cast<QWidget*>(watched);
    if (receiver->window() != this) {
        return false;
    }
    if (type == QEvent::KeyPress) {
        // A key the focused control leaves passes on to its parents and through here
        // again: only its first receiver counts.
        QWidget* first = QApplication::focusWidget();
        if (first == nullptr || first->window() != this) {
            first = this;
        }
        if (receiver == first && previewKey(static_cast<const QKeyEvent&>(*event))) {
            return true;
        }
    }
    // While a scan runs only Stop acts: Delete would clear the tree the scan fills, and a
    // window opened at a yield would stall the scan into its time-out.
    if (m_scan.running()) {
        return key || blockedDuringScan(receiver);
    }
    return false;
}

// ---- Scan, auto scan, timer and stop ----

void Form1::cmdScan_Click() {
    if (m_scan.running()) {
        return;
    }
    ScanOptions options;
    options.PicturesOption = PicturesOption != 0;
    options.UserDetailsOption = UserDetailsOption != 0;
    options.autoScanChecked = ckAutoScan->isChecked();
    options.storeChecked = ckDatabase->isChecked();
    const std::optional<TreeShape> shape =
        KeepExpandedOption != 0 ? std::optional(treeShape()) : std::nullopt;
    m_scan.cmdScan_Click(options);
    attachPendingNodes();
    if (shape) {
        restoreTreeShape(*shape);
    }
    showReleaseNotices();
    if (m_closeAfterScan) {
        m_closeAfterScan = false;
        close();
    }
}

void Form1::showReleaseNotices() {
    if (m_notices.isEmpty()) {
        return;
    }
    const auto [title, text] = noticeMessage(m_notices);
    m_notices.clear();
    if (!m_tray.TrayMessage(title, text)) {
        setStatusText(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        m_context.platform().beep();
    }
}

void Form1::cmdStop_Click() {
    m_scan.cmdStop_Click();
}

void Form1::Timer1_Timer() {
    cmdScan_Click();
}

// The caption, window icon and tray icon that say whether auto scan runs.
void Form1::showAutoScanState() {
    setWindowTitle(m_autoScan.caption());
    setWindowIcon(ImageList1.icon(m_autoScan.iconKey()));
    m_tray.TrayIconDelete();
    m_tray.TrayIconAdd(*this, *mnuTray);
    showTrayTip();
}

// The tray's tip, with the problems of the last scan on lines of their own.
void Form1::showTrayTip() {
    QStringList lines{m_autoScan.trayTip()};
    lines += sbStatus->problems();
    m_tray.TrayIconTip(lines.join(QLatin1Char('\n')));
}

void Form1::ckAutoScan_Click() {
    if (ckAutoScan->isChecked()) {
        m_autoScan.switchOn();
        showAutoScanState();
        Timer1->start();
        cmdScan->hide();
        ckDatabase->show();
        // The monitored list cannot change while auto scan runs.
        cmdAddFile->hide();
        cmdEditFile->hide();
        cmdDeleteFile->hide();
        return;
    }
    m_autoScan.switchOff();
    if (m_usageLog) {
        m_usageLog->stopStoring();  // another program may store now
    }
    showAutoScanState();
    Timer1->stop();
    cmdScan->show();
    ckDatabase->hide();
    cmdAddFile->show();

    int level = 0;
    if (m_context.TreeScanned) {
        level = levelOfNode(m_context.SelectedNodeTag, true, false);
    } else if (const QTreeWidgetItem* selected = TreeView1->currentItem()) {
        level = nodeLevel(selected);
    }
    if (level == kFileLevel) {
        cmdEditFile->show();
        cmdDeleteFile->show();
    }
}

void Form1::ckDatabase_Click() {
    if (!ckDatabase->isChecked() && m_usageLog) {
        m_usageLog->stopStoring();
    }
}

// ---- Adding, editing and deleting monitored files ----

void Form1::cmdAddFile_Click() {
    if (m_scan.running()) {
        return;
    }
    m_context.EditMode = false;
    frmFile::open(m_context, this);
    if (m_context.FileListChanged) {
        m_context.FileListChanged = false;
        cmdScan_Click();
    }
}

QTreeWidgetItem* Form1::selectedFileNode() {
    QTreeWidgetItem* node = TreeView1->currentItem();
    return node != nullptr && nodeLevel(node) == kFileLevel ? node : nullptr;
}

// True, after rescanning, when entry number no longer holds the path its file node
// shows (alone, or with the scan's bracketed suffix): another program changed the list
// since the tree was built.
bool Form1::fileListChangedUnder(const QString& nodeText, qint16 number) {
    const QString stored = fileEntryPath(m_context.settings(), number);
    if (!stored.isEmpty() &&
        (nodeText == stored ||
         (nodeText.startsWith(stored + QLatin1Char('[')) && nodeText.endsWith(QLatin1Char(']'))))) {
        return false;
    }
    if (fileListCount(m_context.settings()) == 0) {
        showEmptyList();
    }
    cmdScan_Click();
    return true;
}

void Form1::showEmptyList() {
    for (QPushButton* b : {cmdScan, cmdExpand, cmdEditFile, cmdDeleteFile, cmdFind, cmdFindNext}) {
        b->hide();
    }
    clearNodes();
}

void Form1::cmdEditFile_Click() {
    const QTreeWidgetItem* node = selectedFileNode();
    if (node == nullptr || m_scan.running()) {
        return;
    }
    m_context.SelectedFileNumber = nodeFileNumber(node);
    if (fileListChangedUnder(node->text(0), m_context.SelectedFileNumber)) {
        return;
    }
    m_context.EditMode = true;
    const QList<FileListEntry> before = LoadFileList(m_context.settings());
    frmFile::open(m_context, this);
    if (m_context.FileListChanged) {
        m_context.FileListChanged = false;
        closeRowsOfRemovedFiles(before);
        cmdScan_Click();
    }
}

void Form1::closeRowsOfRemovedFiles(const QList<FileListEntry>& before) {
    QStringList kept;
    for (const FileListEntry& file : LoadFileList(m_context.settings())) {
        kept.append(file.path);
    }
    QStringList removed;
    for (const FileListEntry& file : before) {
        if (!kept.contains(file.path, Qt::CaseInsensitive)) {
            removed.append(file.path);
        }
    }
    const QString reason = m_usageLog ? m_usageLog->closeFiles(removed) : QString();
    if (!reason.isEmpty()) {
        m_context.prompts().message(
            QStringLiteral("The usage log's open rows of the removed file could not be closed: ") +
                reason,
            MessageIcon::Exclamation);
    }
}

void Form1::cmdDeleteFile_Click() {
    const QTreeWidgetItem* node = selectedFileNode();
    if (node == nullptr || m_scan.running()) {
        return;
    }
    const qint16 number = nodeFileNumber(node);
    const QString text = node->text(0);
    m_context.SelectedFileNumber = number;
    if (fileListChangedUnder(text, number)) {
        return;
    }
    SettingsStore& store = m_context.settings();
    const QString description = fileDescription(store, number);
    if (!m_context.prompts().askYesNo(QStringLiteral("Are you sure you want to delete '") +
                                          description + QStringLiteral("'?"),
                                      QStringLiteral("Delete File Confirmation"),
                                      MessageIcon::Question, MessageAnswer::No)) {
        return;
    }
    // The list may have changed while the question was open.
    if (fileListChangedUnder(text, number)) {
        return;
    }
    // The count comes from the store: after a stopped scan the tree holds fewer files.
    const QList<FileListEntry> before = LoadFileList(store);
    const QString path = fileEntryPath(store, number);
    const bool deleted = DeleteFileEntry(store, number);
    const QString failure = QStringLiteral("Unable to delete. The settings could not be written.");
    if (!deleted) {
        m_context.prompts().message(failure, MessageIcon::Exclamation);
    } else {
        closeRowsOfRemovedFiles(before);
    }
    journalActions({fileJournalEntry(m_context.drives(), journal::kDeleteFile, path, description,
                                     deleted ? QString() : failure)});
    if (fileListCount(store) == 0) {
        showEmptyList();
    }
    cmdScan_Click();
}

// ---- ScanView ----

void Form1::clearNodes() {
    for (const auto& pending : m_pending) {
        delete pending.second;
    }
    m_pending.clear();
    m_nodes.clear();
    TreeView1->clear();
}

int Form1::addNode(int parentIndex, const QString& key, const QString& text,
                   const QString& imageKey) {
    auto* node = new QTreeWidgetItem;
    node->setFlags(kNodeFlags);
    node->setText(0, text);
    node->setCheckState(0, Qt::Unchecked);
    if (!key.isEmpty()) {
        node->setData(0, kKeyRole, key);
    }
    if (!imageKey.isEmpty()) {
        node->setIcon(0, ImageList1.icon(imageKey));
    }
    if (parentIndex < 1 || parentIndex > int(m_nodes.size())) {
        TreeView1->addTopLevelItem(node);
    } else {
        QTreeWidgetItem* parent = m_nodes[parentIndex - 1];
        // While a scan builds the tree, a file's subtree is kept off the tree until the
        // scan yields or ends, and then goes in with its siblings in one insertion.
        if (m_scanBusy && parent->parent() == nullptr && parent->treeWidget() != nullptr) {
            m_pending.emplace_back(parent, node);
        } else {
            parent->addChild(node);
        }
    }
    m_nodes.push_back(node);
    return int(m_nodes.size());
}

void Form1::attachPendingNodes() {
    std::size_t i = 0;
    while (i < m_pending.size()) {
        QTreeWidgetItem* parent = m_pending[i].first;
        QList<QTreeWidgetItem*> batch;
        while (i < m_pending.size() && m_pending[i].first == parent) {
            batch.append(m_pending[i++].second);
        }
        parent->addChildren(batch);
    }
    m_pending.clear();
}

void Form1::setNodeTag(int index, const QString& tag) {
    if (index >= 1 && index <= int(m_nodes.size())) {
        m_nodes[index - 1]->setData(0, kTagRole, tag);
    }
}

void Form1::setNodeText(int index, const QString& text) {
    if (index >= 1 && index <= int(m_nodes.size())) {
        m_nodes[index - 1]->setText(0, text);
    }
}

void Form1::setStatusText(const QString& text) {
    sbStatus->setMessage(text);
}

void Form1::showScanSummary(const ScanSummary& summary) {
    sbStatus->setProblems(summary.problems);
    sbStatus->setMessage(scanSummaryText(summary.files, summary.users));
    showTrayTip();
}

QString Form1::statusText() const {
    return sbStatus->text();
}

QPushButton* Form1::button(ScanButton which) const {
    switch (which) {
        case ScanButton::Scan:
            return cmdScan;
        case ScanButton::Stop:
            return cmdStop;
        case ScanButton::Expand:
            return cmdExpand;
        case ScanButton::Find:
            return cmdFind;
        case ScanButton::AddFile:
            return cmdAddFile;
        case ScanButton::EditFile:
            return cmdEditFile;
        case ScanButton::DeleteFile:
            return cmdDeleteFile;
    }
    return cmdScan;
}

void Form1::setButtonVisible(ScanButton which, bool visible) {
    button(which)->setVisible(visible);
}

void Form1::setExpandCaption(const QString& caption) {
    cmdExpand->setText(caption);
}

void Form1::focusButton(ScanButton which) {
    button(which)->setFocus();
}

void Form1::setBusy(bool busy) {
    if (busy) {
        m_scanBusy.emplace();
        return;
    }
    attachPendingNodes();
    m_scanBusy.reset();
}

void Form1::uncheckAutoScan() {
    ckAutoScan->setChecked(false);
}

void Form1::yield() {
    if (m_sinceYield.isValid() && m_sinceYield.elapsed() < m_yieldIntervalMs) {
        return;
    }
    attachPendingNodes();
    QCoreApplication::processEvents();
    m_sinceYield.start();
}

// ---- The tree ----

QString Form1::nodeTag(const QTreeWidgetItem* node) {
    return node->data(0, kTagRole).toString();
}

QString Form1::nodeKey(const QTreeWidgetItem* node) {
    return node->data(0, kKeyRole).toString();
}

int Form1::nodeLevel(const QTreeWidgetItem* node) const {
    return levelOfNode(nodeTag(node), m_context.TreeScanned, node == TreeView1->topLevelItem(0));
}

qint16 Form1::nodeFileNumber(const QTreeWidgetItem* node) const {
    const QString tag = nodeTag(node);
    qsizetype position = 0;
    if (tag.isEmpty() && !m_context.TreeScanned) {
        for (QTreeWidgetItemIterator it(TreeView1); *it != nullptr; ++it) {
            ++position;
            if (*it == node) {
                break;
            }
        }
    }
    return fileNumberOfNode(tag, m_context.TreeScanned, position);
}

std::vector<QTreeWidgetItem*> Form1::nodesInOrder() const {
    std::vector<QTreeWidgetItem*> nodes;
    for (QTreeWidgetItemIterator it(TreeView1); *it != nullptr; ++it) {
        nodes.push_back(*it);
    }
    return nodes;
}

void Form1::TreeView1_MouseDown(Qt::MouseButton Button) {
    TreeMouseButton = Button == Qt::LeftButton ? 1 : Button == Qt::RightButton ? 2 : 4;
}

void Form1::applyEditButtons(EditButtons rule) {
    if (rule == EditButtons::Keep) {
        return;
    }
    cmdEditFile->setVisible(rule == EditButtons::Show);
    cmdDeleteFile->setVisible(rule == EditButtons::Show);
}

void Form1::showFileDescription(const QTreeWidgetItem* node) {
    m_context.SelectedFileNumber = nodeFileNumber(node);
    setStatusText(fileDescription(m_context.settings(), m_context.SelectedFileNumber));
}

void Form1::TreeView1_NodeClick(QTreeWidgetItem* Node) {
    if (Node == nullptr) {
        return;
    }
    std::optional<BusyPointer> busy(std::in_place);
    m_context.SelectedNodeTag = nodeTag(Node);
    const int level = nodeLevel(Node);
    const QTreeWidgetItem* selected = TreeView1->currentItem();
    m_context.SelectedNodeText = selected != nullptr ? selected->text(0) : QString();
    const EditButtons editButtons = editButtonsFor(level, ckAutoScan->isChecked());

    if (TreeMouseButton != 2) {
        setStatusText(kIdleText);
        applyEditButtons(editButtons);
        if (level == kFileLevel) {
            showFileDescription(Node);
        }
        return;
    }

    const bool fileExists =
        level == kFileLevel && FileExists(m_context.drives(), nodePath(Node->text(0)));
    const std::optional<PopupItems> items = popupItemsFor(level, fileExists);
    if (level == kFileLevel) {
        showFileDescription(Node);
    } else {
        setStatusText(kIdleText);
    }
    if (!items) {
        return;
    }
    applyEditButtons(editButtons);
    mnuPopupDetails->setVisible(items->Details);
    mnuPopupAll->setVisible(items->All);
    mnuPopupNone->setVisible(items->None);
    mnuPopupFile->setVisible(items->File);
    mnuPopupFileNone->setVisible(items->FileNone);
    mnuPopupSend->setVisible(items->Send);
    mnuPopupSendSel->setVisible(items->SendSel);
    mnuPopupClear->setVisible(items->Clear);
    mnuPopupClearSel->setVisible(items->ClearSel);
    mnuPopupUnlock->setVisible(items->Unlock);
    mnuPopupUnlockAll->setVisible(items->UnlockAll);
    mnuPopupNotify->setVisible(items->Notify);
    mnuPopupNotify->setChecked(items->Notify && m_release.armed(nodePath(Node->text(0))));
    busy.reset();
    m_popupNode = TreeView1->placeOf(Node);
    mnuPopup->popup(QCursor::pos());
}

void Form1::TreeView1_NodeCheck(QTreeWidgetItem* Node) {
    if (Node == nullptr || m_scan.running()) {
        return;
    }
    TreeView1->setCurrentItem(Node);
    const bool ticked = NodeTree::ticked(Node);
    switch (nodeLevel(Node)) {
        case kRootLevel:
            ticked ? mnuPopupAll_Click() : mnuPopupNone_Click();
            break;
        case kFileLevel:
            ticked ? mnuPopupFile_Click() : mnuPopupFileNone_Click();
            break;
        default:
            break;  // the box itself is the selection
    }
}

void Form1::tickAll(bool ticked) {
    BusyPointer busy;
    for (QTreeWidgetItemIterator it(TreeView1); *it != nullptr; ++it) {
        if (tickedBySelectAll(nodeTag(*it))) {
            TreeView1->setTicked(*it, ticked);
        }
    }
}

void Form1::tickFileGroup(bool ticked) {
    const QTreeWidgetItem* selected = TreeView1->currentItem();
    if (selected == nullptr) {
        return;
    }
    const std::vector<QTreeWidgetItem*> nodes = nodesInOrder();
    const auto found = std::find(nodes.begin(), nodes.end(), selected);
    const QList<qsizetype> ticks =
        fileGroupTicks(found - nodes.begin(), qsizetype(nodes.size()),
                       [&](qsizetype i) { return nodeLevel(nodes[std::size_t(i)]); });
    for (qsizetype i : ticks) {
        TreeView1->setTicked(nodes[std::size_t(i)], ticked);
    }
}

void Form1::mnuPopupAll_Click() {
    if (!m_scan.running()) {
        tickAll(true);
    }
}

void Form1::mnuPopupNone_Click() {
    if (!m_scan.running()) {
        tickAll(false);
    }
}

void Form1::mnuPopupFile_Click() {
    if (!m_scan.running()) {
        tickFileGroup(true);
    }
}

void Form1::mnuPopupFileNone_Click() {
    if (!m_scan.running()) {
        tickFileGroup(false);
    }
}

void Form1::mnuPopupNotify_Click(bool checked) {
    QTreeWidgetItem* clicked = popupNode();
    if (clicked == nullptr || nodeLevel(clicked) != kFileLevel) {
        return;
    }
    const QString path = nodePath(clicked->text(0));
    m_release.setArmed(path, checked);
    setStatusText(checked ? armedText(path, ckAutoScan->isChecked()) : kIdleText);
}

void Form1::mnuPopupDetails_Click() {
    if (m_scan.running() || popupNode() == nullptr) {
        return;
    }
    FileInfo::open(m_context, this);
}

// ---- Find ----

void Form1::cmdFind_Click() {
    if (m_scan.running()) {
        return;
    }
    if (m_find == nullptr) {
        m_find = new frmFind(*this);
    }
    m_find->exec();
}

void Form1::cmdFindNext_Click() {
    if (m_scan.running()) {
        return;
    }
    findInTree(m_find != nullptr ? m_find->settings() : FindSettings{}, false);
}

bool Form1::findInTree(const FindSettings& settings, bool fromTop) {
    if (m_scan.running()) {
        return false;
    }
    BusyPointer busy;
    setStatusText(kFindingText);
    const std::vector<QTreeWidgetItem*> nodes = nodesInOrder();
    qsizetype from = 0;
    if (!fromTop) {
        const auto selected = std::find(nodes.begin(), nodes.end(), TreeView1->currentItem());
        from = selected == nodes.end() ? 0 : selected - nodes.begin() + 1;
    }
    const qsizetype found = findNode(settings, from, qsizetype(nodes.size()), [&](qsizetype i) {
        const QTreeWidgetItem* node = nodes[std::size_t(i)];
        return std::pair<int, QString>(nodeLevel(node), node->text(0));
    });
    setStatusText(kIdleText);
    if (found < 0) {
        cmdFindNext->hide();
        return false;
    }
    QTreeWidgetItem* match = nodes[std::size_t(found)];
    if (settings.select) {
        TreeView1->setTicked(match, true);
    }
    TreeView1->setCurrentItem(match);
    TreeView1->scrollToItem(match);
    cmdFindNext->show();
    return true;
}

void Form1::cmdExpand_Click() {
    if (m_scan.running() || TreeView1->topLevelItemCount() == 0) {
        return;
    }
    BusyPointer busy;
    if (cmdExpand->text() != kExpandAllCaption) {
        setStatusText(QStringLiteral("Collapsing tree..."));
        for (int i = 0; i < TreeView1->topLevelItemCount(); ++i) {
            QTreeWidgetItem* top = TreeView1->topLevelItem(i);
            if (nodeKey(top) == kRootKey) {
                top->setExpanded(false);
                break;
            }
        }
        cmdExpand->setText(kExpandAllCaption);
        cmdEditFile->hide();
        cmdDeleteFile->hide();
    } else {
        setStatusText(QStringLiteral("Expanding tree..."));
        TreeView1->expandAll();
        QTreeWidgetItem* first = TreeView1->topLevelItem(0);
        TreeView1->setCurrentItem(first);
        TreeView1->scrollToItem(first);
        cmdExpand->setText(kCollapseAllCaption);
    }
    setStatusText(kIdleText);
}

// ---- Tray ----

void Form1::Form_Resize() {
    SetTrayMenuItems(isMinimized() ? 1 : isMaximized() ? 2 : 0);
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        Form_Resize();
    }
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::SetTrayMenuItems(int windowState) {
    if (windowState == 1 || windowState == 2) {
        mnuTrayRestore->setEnabled(true);
    } else if (windowState == 0) {
        mnuTrayRestore->setEnabled(false);
    }
}

void Form1::mnuTrayRestore_Click() {
    m_tray.restoreWindow();
}

void Form1::mnuTrayExit_Click() {
    close();
}

}  // namespace tavrel
