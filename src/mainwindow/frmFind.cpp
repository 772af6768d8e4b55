#include "mainwindow/frmFind.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "common/Twips.h"
#include "common/WindowGestures.h"
#include "mainwindow/Form1.h"

namespace tavrel {

namespace {}  // namespace

frmFind::frmFind(Form1& owner) : QDialog(&owner), m_owner(owner) {
    setWindowTitle(QStringLiteral("Find a File/User"));
    setFont(owner.font());
    setFixedSize(4695 / 15, 2715 / 15);

    Option1 = new QRadioButton(QStringLiteral("File"), this);
    Option1->setGeometry(twips(240, 120, 735, 255));
    Option1->setChecked(true);
    Option2 = new QRadioButton(QStringLiteral("User"), this);
    Option2->setGeometry(twips(1080, 120, 735, 255));
    Label1 = new QLabel(findLabelFor(FindSettings::Kind::Files), this);
    Label1->setGeometry(twips(240, 480, 975, 255));
    Text1 = new QLineEdit(this);
    Text1->setGeometry(twips(1320, 480, 3135, 285));
    Check3 = new QCheckBox(QStringLiteral("Partial match search"), this);
    Check3->setGeometry(twips(240, 960, 1815, 255));
    Check3->setChecked(true);
    Check4 = new QCheckBox(QStringLiteral("Case sensitive search"), this);
    Check4->setGeometry(twips(2280, 960, 2055, 255));
    Check1 = new QCheckBox(QStringLiteral("Select when found"), this);
    Check1->setGeometry(twips(240, 1320, 2055, 255));
    Label2 = new QLabel(this);
    // Between the two buttons, wide enough to say that a scan is running.
    Label2->setGeometry(twips(1275, 1920, 2145, 255));
    Label2->setAlignment(Qt::AlignCenter);
    Command1 = new QPushButton(QStringLiteral("&Find"), this);
    Command1->setGeometry(twips(240, 1800, 975, 375));
    Command1->setDefault(true);
    Command1->setEnabled(false);
    Command2 = new QPushButton(QStringLiteral("&Close"), this);
    Command2->setGeometry(twips(3480, 1800, 975, 375));
    Command2->setAutoDefault(false);

    connect(Command1, &QPushButton::clicked, this, &frmFind::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmFind::Command2_Click);
    connect(Option1, &QRadioButton::clicked, this, &frmFind::Option1_Click);
    connect(Option2, &QRadioButton::clicked, this, &frmFind::Option2_Click);
    connect(Text1, &QLineEdit::textChanged, this, &frmFind::Text1_Change);
    WindowGestures::install(this, {Label1, Label2});
}

FindSettings frmFind::settings() const {
    FindSettings s;
    s.kind = Option1->isChecked() ? FindSettings::Kind::Files : FindSettings::Kind::Users;
    s.target = Text1->text();
    s.partial = Check3->isChecked();
    s.caseSensitive = Check4->isChecked();
    s.select = Check1->isChecked();
    return s;
}

void frmFind::Command1_Click() {
    // An automatic scan may start while the window is open; the tree is not ready then,
    // and a result of the tree before it would mislead.
    if (m_owner.scanCycle().running()) {
        Label2->setText(kScanRunningText);
        return;
    }
    Label2->setText(m_owner.findInTree(settings(), true) ? kFoundText : kNotFoundText);
}

void frmFind::Command2_Click() {
    hide();
    done(QDialog::Rejected);
}

void frmFind::reject() {
    Command2_Click();
}

void frmFind::Option1_Click() {
    Label1->setText(findLabelFor(settings().kind));
    Text1->setFocus();
}

void frmFind::Option2_Click() {
    Label1->setText(findLabelFor(settings().kind));
    Text1->setFocus();
}

void frmFind::Text1_Change() {
    Command1->setEnabled(findTextSearchable(Text1->text()));
}

void frmFind::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Text1->setFocus();
}

}  // namespace tavrel
