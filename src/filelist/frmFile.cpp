#include "filelist/frmFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <optional>

#include "common/AppContext.h"
#include "common/BusyPointer.h"
#include "common/Module1.h"
#include "common/Prompts.h"
#include "common/SettingsStore.h"
#include "common/WindowGestures.h"
#include "fileinfo/FileInfo.h"
#include "filelist/FileEditorRules.h"
#include "filelist/FileListStore.h"
#include "monitor/ActionJournal.h"

namespace tavrel {

namespace {

constexpr int kFolderRole = Qt::UserRole;
const QString kAllFiles = QStringLiteral("*.*");
const QString kSelectFileTip = QStringLiteral(" Select file ");

// Positions are given in twips, fifteen to a pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

}  // namespace

frmFile::frmFile(AppContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_picker(context.drives()) {
    createControls();
    setFixedSize(twips(0, 0, 4455, 6375).size());
    WindowGestures::install(this, {Label1, Label2});
}

void frmFile::createControls() {
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    const auto makeButton = [this](const QString& caption, const QString& tip,
                                   const QRect& geometry) {
        auto* b = new QPushButton(caption, this);
        b->setGeometry(geometry);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };

    Drive1 = new QComboBox(this);
    Drive1->setGeometry(twips(120, 120, 4215, 315));
    Drive1->setToolTip(QStringLiteral(" Select drive "));
    for (const MappedDrive& drive : m_picker.drives()) {
        Drive1->addItem(FilePicker::driveEntry(drive), QString(drive.letter));
    }
    Drive1->setCurrentIndex(-1);

    Dir1 = new QListWidget(this);
    Dir1->setGeometry(twips(120, 480, 4215, 1935));
    Dir1->setToolTip(QStringLiteral(" Select directory "));

    Combo2 = new QComboBox(this);
    Combo2->setGeometry(twips(120, 2520, 3015, 315));
    Combo2->setEditable(true);
    Combo2->setInsertPolicy(QComboBox::NoInsert);  // typed patterns are kept on leaving
    Combo2->setToolTip(QStringLiteral(" Specify or select file pattern "));
    Command3 = makeButton(QStringLiteral("All"), QStringLiteral(" Select all files "),
                          twips(3240, 2520, 1095, 315));

    List3 = new QListWidget(this);
    List3->setGeometry(twips(120, 2880, 4215, 1815));
    // Long names scroll sideways rather than being cut.
    List3->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    Label2 = new QLabel(this);
    Label2->setGeometry(twips(120, 4800, 3015, 255));
    Command18 = makeButton(QStringLiteral("&Info"), QStringLiteral(" Extended file information "),
                           twips(3240, 4740, 1095, 315));

    Label1 = new QLabel(QStringLiteral("Description (Maximum 55 characters)"), this);
    Label1->setGeometry(twips(120, 5160, 4215, 255));
    Text1 = new QLineEdit(this);
    Text1->setGeometry(twips(120, 5400, 4215, 315));
    Text1->setMaxLength(kMaxDescriptionLength);

    Command6 = makeButton(QStringLiteral("&Save"), QStringLiteral(" Save changes "),
                          twips(120, 5880, 1215, 375));
    Command1 = makeButton(QStringLiteral("&Close"), QStringLiteral(" Close screen "),
                          twips(3120, 5880, 1215, 375));
    Command6->hide();
    Command18->hide();

    connect(Drive1, &QComboBox::currentIndexChanged, this, &frmFile::Drive1_Change);
    connect(Dir1, &QListWidget::itemActivated, this, &frmFile::openFolderItem);
    connect(Combo2, &QComboBox::editTextChanged, this, &frmFile::Combo2_Change);
    connect(Combo2, &QComboBox::activated, this, &frmFile::Combo2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmFile::Command3_Click);
    connect(List3, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            List3_Click();
        }
    });
    connect(Text1, &QLineEdit::textChanged, this, &frmFile::Text1_Change);
    connect(Command6, &QPushButton::clicked, this, &frmFile::Command6_Click);
    connect(Command18, &QPushButton::clicked, this, &frmFile::Command18_Click);
    connect(Command1, &QPushButton::clicked, this, &frmFile::Command1_Click);
    Combo2->lineEdit()->installEventFilter(this);
    Text1->installEventFilter(this);
}

void frmFile::open(AppContext& context, QWidget* parent) {
    frmFile dialog(context, parent);
    dialog.Form_Load();
    dialog.exec();
}

// ---- Opening ----

void frmFile::startIn(const QString& folder) {
    if (folder.isEmpty() || !selectDrive(folder.at(0))) {
        selectDrive(QLatin1Char('C'));
        return;
    }
    setDirPath(folder);
}

void frmFile::Form_Load() {
    std::optional<BusyPointer> busy(std::in_place);
    m_context.InfoCallerForm = QStringLiteral("frmFile");
    setWindowTitle(m_context.EditMode ? QStringLiteral("Edit File") : QStringLiteral("Add File"));

    QString rememberedName;
    QString description;
    if (m_context.EditMode) {
        SettingsStore& store = m_context.settings();
        m_storedPath = fileEntryPath(store, m_context.SelectedFileNumber);
        description = fileDescription(store, m_context.SelectedFileNumber);
        const QString folder = folderOfPath(m_storedPath);
        if (m_storedPath.isEmpty() || !selectDrive(m_storedPath.at(0)) || !setDirPath(folder)) {
            startIn(m_context.LastFileFolder);
        }
        if (FileExists(m_context.drives(), m_storedPath)) {
            rememberedName = GetFile(m_storedPath);
        } else {
            busy.reset();
            m_context.prompts().message(
                QStringLiteral("File ") + m_storedPath + QStringLiteral(" does not exist."),
                MessageIcon::Exclamation);
            busy.emplace();
        }
    } else {
        startIn(m_context.LastFileFolder);
        m_context.SelectedFileNumber = qint16(fileListCount(m_context.settings()) + 1);
    }

    rememberPattern(m_patterns, kAllFiles);
    Combo2->addItem(kAllFiles);
    Combo2->setEditText(kAllFiles);

    if (m_context.EditMode) {
        if (!rememberedName.isEmpty()) {
            for (int row = 0; row < List3->count(); ++row) {
                if (List3->item(row)->text().compare(rememberedName, Qt::CaseInsensitive) == 0) {
                    List3->setCurrentRow(row);
                    break;
                }
            }
        }
        Text1->setText(description);
    }
    Command6->hide();
}

// ---- Drive, folder and pattern ----

bool frmFile::selectDrive(QChar letter) {
    const int index = Drive1->findData(QString(letter.toUpper()));
    if (index < 0) {
        return false;
    }
    if (index != Drive1->currentIndex()) {
        Drive1->setCurrentIndex(index);  // runs Drive1_Change
    }
    return m_picker.drive() == letter.toUpper();
}

void frmFile::Drive1_Change() {
    const QString entry = Drive1->currentData().toString();
    if (entry.isEmpty()) {
        return;
    }
    if (setDirPath(entry + QStringLiteral(":\\"))) {
        return;
    }
    // The drive cannot be read: back to C:, or to the drive shown before.
    if (entry != QLatin1String("C") && selectDrive(QLatin1Char('C'))) {
        return;
    }
    showDrive();
}

bool frmFile::setDirPath(const QString& folder) {
    const QString before = m_picker.folder();
    if (!m_picker.setFolder(folder)) {
        return false;
    }
    showDrive();
    showFolder();
    if (m_picker.folder() != before) {
        Dir1_Change();
    }
    return true;
}

void frmFile::showDrive() {
    const QSignalBlocker blocker(Drive1);
    Drive1->setCurrentIndex(Drive1->findData(QString(m_picker.drive())));
}

void frmFile::showFolder() {
    const QSignalBlocker blocker(Dir1);
    Dir1->clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QString root = QString(m_picker.drive()) + QStringLiteral(":\\");
    const QStringList& chain = m_picker.folderChain();
    const auto add = [&](const QString& text, const QString& folder, int level, const QIcon& icon) {
        auto* item = new QListWidgetItem(icon, QString(level * 3, QLatin1Char(' ')) + text, Dir1);
        item->setData(kFolderRole, folder);
        return item;
    };
    QListWidgetItem* current = add(root, root, 0, open);
    QString folder = root;
    for (qsizetype i = 0; i < chain.size(); ++i) {
        folder = folderWithSeparator(folder) + chain.at(i);
        current = add(chain.at(i), folder, int(i) + 1, open);
    }
    for (const QString& name : m_picker.subfolders()) {
        add(name, folderWithSeparator(folder) + name, int(chain.size()) + 1, closed);
    }
    Dir1->setCurrentItem(current);
}

void frmFile::openFolderItem() {
    const QListWidgetItem* item = Dir1->currentItem();
    if (item != nullptr) {
        setDirPath(item->data(kFolderRole).toString());
    }
}

void frmFile::Dir1_Change() {
    Command6->hide();
    Command18->hide();
    List3->clear();
    const QStringList names = m_picker.files(Combo2->currentText());
    {
        const QSignalBlocker blocker(List3);
        List3->addItems(names);
        List3->setCurrentRow(-1);
    }
    Label2->setText(fileCountText(names.size()));
    List3->setToolTip(names.isEmpty() ? QString() : kSelectFileTip);
}

void frmFile::Combo2_Change() {
    Dir1_Change();
}

void frmFile::Combo2_Click() {
    Combo2_Change();
}

void frmFile::Combo2_LostFocus() {
    const QString text = Combo2->currentText();
    if (rememberPattern(m_patterns, text)) {
        const QSignalBlocker blocker(Combo2);
        Combo2->addItem(text);
        Combo2->setEditText(text);
    }
}

void frmFile::Command3_Click() {
    Combo2->setEditText(kAllFiles);
}

// ---- Picking a file and describing it ----

QString frmFile::pickedFile() const {
    const QListWidgetItem* item = List3->currentItem();
    return item != nullptr && item->isSelected() ? item->text() : QString();
}

QString frmFile::pickedPath() const {
    return folderWithSeparator(m_picker.folder()) + pickedFile();
}

bool frmFile::pickFile(const QString& name) {
    const QList<QListWidgetItem*> found = List3->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) {
        return false;
    }
    List3->setCurrentItem(found.first());
    return true;
}

void frmFile::List3_Click() {
    const QString name = pickedFile();
    if (name.isEmpty()) {
        return;
    }
    if (const auto details = m_picker.fileDetails(name)) {
        Label2->setText(pickedFileText(details->modified, details->size));
    }
    if (!isFileServerDrive(m_picker.driveType())) {
        Command18->hide();
        m_context.prompts().message(
            QStringLiteral("Invalid file! File must reside on file server."),
            MessageIcon::Exclamation);
        return;
    }
    Command18->show();
    Text1->setText(name);  // runs Text1_Change
    Command6->setVisible(canSaveFileEntry(Text1->text(), true, m_picker.driveType()));
}

void frmFile::Text1_Change() {
    Command6->setVisible(
        canSaveFileEntry(Text1->text(), !pickedFile().isEmpty(), m_picker.driveType()));
}

bool frmFile::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        // A tilde cannot be typed into a description.
        if (static_cast<QKeyEvent*>(event)->text().contains(QLatin1Char('~'))) {
            return true;
        }
    }
    if (watched == Combo2->lineEdit() && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        Combo2_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

// ---- Saving ----

void frmFile::Command6_Click() {
    std::optional<BusyPointer> busy(std::in_place);
    SettingsStore& store = m_context.settings();
    const QString path = pickedPath();
    std::optional<AddFileResult> result;
    if (m_context.EditMode) {
        result = editMonitoredFile(store, m_context.drives(), m_context.SelectedFileNumber,
                                   m_storedPath, path, Text1->text());
    } else {
        result = addMonitoredFile(store, m_context.drives(), path, Text1->text());
    }
    busy.reset();
    QString failure;
    if (!result) {
        // Another program changed the list since it was read: the main window rescans.
        Command6->hide();
        m_context.FileListChanged = true;
        failure = QStringLiteral("Unable to save. The file list was changed by another program.");
    } else if (*result != AddFileResult::Saved) {
        failure = addFileMessage(*result, path, m_context.drives().caseTwins(path));
    }
    if (!failure.isEmpty()) {
        m_context.prompts().message(failure, MessageIcon::Exclamation);
    } else {
        Command6->hide();
        m_context.FileListChanged = true;
        if (m_context.EditMode) {
            m_storedPath = path;
        } else {
            m_context.SelectedFileNumber = qint16(fileListCount(store) + 1);
        }
    }
    ActionJournal writer(store, m_context.AppFolder, m_context.clock(), journal::kWindow);
    const QString problem = writer.record(fileJournalEntry(
        m_context.drives(), m_context.EditMode ? journal::kEditFile : journal::kAddFile, path,
        Text1->text(), failure));
    if (!problem.isEmpty()) {
        m_context.prompts().message(notJournaledText(problem), MessageIcon::Exclamation);
    }
}

void frmFile::Command18_Click() {
    FileInfo::open(m_context, this, m_picker.folder(), pickedFile());
}

// ---- Closing ----

void frmFile::Command1_Click() {
    reject();
}

void frmFile::reject() {
    Form_Unload();
    QDialog::reject();
}

void frmFile::closeEvent(QCloseEvent* event) {
    Form_Unload();
    QDialog::closeEvent(event);
}

void frmFile::Form_Unload() {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    if (!Command6->isHidden() &&
        m_context.prompts().askYesNo(QStringLiteral("Do you want to save your changes?"), kAppTitle,
                                     MessageIcon::Question)) {
        Command6_Click();
    }
    m_context.LastFileFolder = m_picker.folder();
    m_context.InfoCallerForm = QStringLiteral("Form1");
}

}  // namespace tavrel
