#pragma once

#include <QDialog>
#include <array>

#include "fileinfo/FileInfoRecord.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrel {

class AppContext;

// "Extended File Information": what the file server keeps about one file (dates, owner,
// last archiver and modifier, attributes), read when the window opens. The file is the
// one picked in the file editor while the editor opened it (InfoCallerForm "frmFile"),
// else the selected tree node's.
class FileInfo : public QDialog {
    Q_OBJECT
public:
    explicit FileInfo(AppContext& context, QWidget* parent = nullptr);

    // Opens the window modally for the file InfoCallerForm names; editorFolder and
    // editorFile are the file editor's folder and picked name (used only when it is the
    // caller). A failure that closes the window shows its message and no window.
    static void open(AppContext& context, QWidget* parent, const QString& editorFolder = {},
                     const QString& editorFile = {});

    // The file editor's folder and picked name, for InfoCallerForm "frmFile".
    void setEditorPick(const QString& folder, const QString& file);
    // Fills the window from the server. False when it has closed itself; it then must
    // not be shown.
    bool Form_Load();
    // Fills the window for a file named SERVER\VOL:DIR\NAME; false (after the message)
    // when the window closes.
    bool GetFileInfo(const QString& fullPath);

    void Command2_Click();
    void Command1_Click();

    QString FilePath;
    QString FullPath;

    QGroupBox* Frame1;
    std::array<QLabel*, 7> Label;    // Label1 .. Label7
    std::array<QLineEdit*, 7> Text;  // Text1 .. Text7
    QGroupBox* Frame2;
    std::array<QCheckBox*, kAttributeBoxCount> Check;  // Check1 .. Check21
    QPushButton* Command2;
    QPushButton* Command1;

private:
    void createControls();
    void fill(const FileInfoFields& fields);

    AppContext& m_context;
    QString m_editorFolder;
    QString m_editorFile;
};

}  // namespace tavrel
