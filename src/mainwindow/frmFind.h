#pragma once

#include <QDialog>

#include "mainwindow/FindRules.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavrel {

class Form1;

// "Find a File/User": finds a monitored file or a user in the main window's tree. Closing
// hides it, so its choices stay for the next Find and for Find Next.
class frmFind : public QDialog {
    Q_OBJECT
public:
    explicit frmFind(Form1& owner);

    // The search as the controls stand.
    FindSettings settings() const;

    void Command1_Click();
    void Command2_Click();
    void Option1_Click();
    void Option2_Click();
    void Text1_Change();
    // Esc and the close box only hide the window, as Close does.
    void reject() override;

    QRadioButton* Option1;
    QRadioButton* Option2;
    QLabel* Label1;
    QLineEdit* Text1;
    QCheckBox* Check3;
    QCheckBox* Check4;
    QCheckBox* Check1;
    QLabel* Label2;
    QPushButton* Command1;
    QPushButton* Command2;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Form1& m_owner;
};

}  // namespace tavrel
