#pragma once

#include <QDialog>
#include <QStringList>

#include "filelist/FilePicker.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tavrel {

class AppContext;

// "Add File" / "Edit File": a small file picker (drive, folder, pattern and file lists)
// with a description box. It adds files to the monitored list one after the other, or
// changes the entry SelectedFileNumber (EditMode), and accepts only files on network
// drives. Every way of closing it runs Form_Unload.
class frmFile : public QDialog {
    Q_OBJECT
public:
    explicit frmFile(AppContext& context, QWidget* parent = nullptr);

    // Opens the dialog modally in the mode EditMode names.
    static void open(AppContext& context, QWidget* parent);

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void Combo2_Change();
    void Combo2_Click();
    void Combo2_LostFocus();
    void Command3_Click();
    void List3_Click();
    void Text1_Change();
    void Command6_Click();
    void Command18_Click();
    void Command1_Click();
    // Closing: the save question, then LastFileFolder and InfoCallerForm. Runs once.
    void Form_Unload();

    // Drive1's drive; false when there is no such drive.
    bool selectDrive(QChar letter);
    // Dir1's folder (drive-letter form); setting it to a folder that cannot be shown
    // changes nothing and gives false.
    QString dirPath() const { return m_picker.folder(); }
    bool setDirPath(const QString& folder);
    // The name picked in List3 ("" when none).
    QString pickedFile() const;
    // Picks a name of List3; false when it lists no such name.
    bool pickFile(const QString& name);
    // The patterns Combo2's list holds.
    QStringList patterns() const { return m_patterns; }

    QComboBox* Drive1;
    QListWidget* Dir1;
    QComboBox* Combo2;
    QPushButton* Command3;
    QListWidget* List3;
    QLabel* Label2;
    QPushButton* Command18;
    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* Command6;
    QPushButton* Command1;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void showDrive();
    void showFolder();
    void openFolderItem();
    void startIn(const QString& folder);
    QString pickedPath() const;

    AppContext& m_context;
    FilePicker m_picker;
    QStringList m_patterns;
    QString m_storedPath;  // edit mode: the entry's path when the dialog read it
    bool m_unloaded = false;
};

}  // namespace tavrel
