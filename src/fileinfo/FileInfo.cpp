#include "fileinfo/FileInfo.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "common/AppContext.h"
#include "common/BusyPointer.h"
#include "common/Platform.h"
#include "common/Prompts.h"
#include "common/WindowGestures.h"
#include "fileinfo/FileInfoReader.h"

namespace tavrel {

namespace {

// Positions are given in twips, fifteen to a pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

constexpr int kRowTwips = 450;
constexpr int kBoxRowTwips = 295;
constexpr int kLeftColumnBoxes = 11;

}  // namespace

FileInfo::FileInfo(AppContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    createControls();
    setWindowTitle(QStringLiteral("Extended File Information"));
    setFixedSize(twips(0, 0, 7440, 4680).size());
    QList<QWidget*> surfaces{Frame1, Frame2};
    surfaces.append(QList<QWidget*>(Label.begin(), Label.end()));
    WindowGestures::install(this, surfaces);
}

void FileInfo::createControls() {
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    Frame1 = new QGroupBox(this);
    Frame1->setGeometry(twips(120, 60, 7200, 3900));
    const std::array<QString, 7>& captions = fileInfoLabels();
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const int top = 300 + int(i) * kRowTwips;
        Label[i] = new QLabel(captions[i], Frame1);
        Label[i]->setGeometry(twips(150, top + 30, 1215, 285));
        Text[i] = new QLineEdit(Frame1);
        Text[i]->setGeometry(twips(1380, top, 1935, 315));
        Text[i]->setReadOnly(true);
    }

    Frame2 = new QGroupBox(QStringLiteral(" Attributes "), Frame1);
    Frame2->setGeometry(twips(3480, 180, 3600, 3600));
    const auto& boxes = attributeBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const bool left = int(i) < kLeftColumnBoxes;
        const int row = left ? int(i) : int(i) - kLeftColumnBoxes;
        Check[i] = new QCheckBox(QLatin1String(boxes[i].caption), Frame2);
        Check[i]->setGeometry(twips(left ? 120 : 1800, 270 + row * kBoxRowTwips, 1740, 270));
        Check[i]->setEnabled(false);
        // The boxes show the server's record: a set attribute is a checked box, and
        // neither a click nor a key changes it.
        Check[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
        Check[i]->setFocusPolicy(Qt::NoFocus);
    }

    Command2 = new QPushButton(QStringLiteral("C&opy"), this);
    Command2->setGeometry(twips(120, 4140, 1335, 375));
    Command2->setToolTip(QStringLiteral(" Copy extended file info to Clipboard "));
    Command2->setAutoDefault(false);
    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setGeometry(twips(5985, 4140, 1335, 375));
    Command1->setToolTip(QStringLiteral(" Close screen "));
    Command1->setAutoDefault(false);

    connect(Command2, &QPushButton::clicked, this, &FileInfo::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &FileInfo::Command1_Click);
}

void FileInfo::open(AppContext& context, QWidget* parent, const QString& editorFolder,
                    const QString& editorFile) {
    FileInfo window(context, parent);
    window.setEditorPick(editorFolder, editorFile);
    if (window.Form_Load()) {
        window.exec();
    }
}

void FileInfo::setEditorPick(const QString& folder, const QString& file) {
    m_editorFolder = folder;
    m_editorFile = file;
}

bool FileInfo::Form_Load() {
    std::optional<BusyPointer> busy(std::in_place);
    setWindowTitle(QStringLiteral("Extended File Information"));
    FilePath = fileInfoPath(m_context.InfoCallerForm, m_editorFolder, m_editorFile,
                            m_context.SelectedNodeText);
    FileInfoResult result = readFileInfo(m_context.netware(), m_context.drives(), FilePath);
    busy.reset();
    Command1->setFocus();
    if (result.failure == FileInfoFailure::None) {
        fill(result.fields);
        return true;
    }
    m_context.prompts().message(fileInfoMessage(result.failure, FilePath),
                                MessageIcon::Exclamation);
    if (fileInfoClosesWindow(result.failure)) {
        return false;
    }
    return true;  // the window opens with its fields empty
}

bool FileInfo::GetFileInfo(const QString& fullPath) {
    std::optional<BusyPointer> busy(std::in_place);
    FileInfoResult result = tavrel::GetFileInfo(m_context.netware(), fullPath);
    busy.reset();
    if (result.failure != FileInfoFailure::None) {
        m_context.prompts().message(fileInfoMessage(result.failure, FilePath),
                                    MessageIcon::Exclamation);
        return false;
    }
    result.fields.FilePath = FilePath;
    fill(result.fields);
    return true;
}

void FileInfo::fill(const FileInfoFields& fields) {
    FullPath = fields.FullPath;
    // "&" would mark an access key in the caption.
    Frame1->setTitle(ReplaceText(1, fields.name, QStringLiteral("&"), QStringLiteral("&&")));
    const std::array<QString, 7> texts = fields.texts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Text[i]->setText(texts[i]);
        Text[i]->setCursorPosition(0);
    }
    const auto& boxes = attributeBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const bool set = (fields.record.attributes & boxes[i].bit) != 0;
        Check[i]->setCheckState(set ? Qt::Checked : Qt::Unchecked);
        Check[i]->setEnabled(set);
    }
}

void FileInfo::Command2_Click() {
    std::array<QString, 7> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = Text[i]->text();
    }
    QStringList attributes;
    for (const QCheckBox* box : Check) {
        if (box->checkState() != Qt::Unchecked) {
            attributes.append(box->text());
        }
    }
    const QString text = fileInfoCopyText(FullPath, FilePath, texts, attributes);
    m_context.platform().setClipboardText(text);
    m_context.prompts().message(
        QString::number(text.size()) + QStringLiteral(" bytes copied to Clipboard."),
        MessageIcon::Information);
}

void FileInfo::Command1_Click() {
    close();
}

}  // namespace tavrel
