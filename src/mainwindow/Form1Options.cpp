// Form1: the tree options, the button tips and the tree kept expanded across scans.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidgetItemIterator>
#include <array>

#include "common/AppContext.h"
#include "common/AppTitle.h"
#include "common/Twips.h"
#include "mainwindow/Form1.h"
#include "mainwindow/NodeTree.h"
#include "mainwindow/TreeNodeRules.h"
#include "mainwindow/TreeOptions.h"
#include "monitor/ReleaseWatch.h"

namespace tavrel {

namespace {

const QString kShowTreeOptions = QStringLiteral("Show Tree Options");
const QString kHideTreeOptions = QStringLiteral("Hide Tree Options");

struct ButtonTip {
    QPushButton* Form1::*button;
    QString tip;
};

// The eleven buttons that carry a tool tip while button tips are on.
const std::array<ButtonTip, 11>& buttonTips() {
    static const std::array<ButtonTip, 11> tips = {{
        {&Form1::cmdScan, QStringLiteral(" Scan files in the tree for users ")},
        {&Form1::cmdExpand, QStringLiteral(" Expand/Collapse all tree items ")},
        {&Form1::cmdAddFile, QStringLiteral(" Add a file to the tree ")},
        {&Form1::cmdEditFile, QStringLiteral(" Edit the selected file in the tree ")},
        {&Form1::cmdDeleteFile, QStringLiteral(" Delete the selected file in the tree ")},
        {&Form1::cmdFind, QStringLiteral(" Find a specific file/user in the tree ")},
        {&Form1::cmdFindNext, QStringLiteral(" Find the next file/user in the tree ")},
        {&Form1::cmdDatabase, QStringLiteral(" Run queries against the log table ")},
        {&Form1::cmdDetails, QStringLiteral(" Details about user in/out times ")},
        {&Form1::cmdAbout, QStringLiteral(" Information about ") + kAppTitle + QLatin1Char(' ')},
        {&Form1::cmdExit, QStringLiteral(" Exit ") + kAppTitle + QLatin1Char(' ')},
    }};
    return tips;
}

QCheckBox* makeCheckBox(const QString& caption, QWidget* parent, const QRect& geometry) {
    auto* box = new QCheckBox(caption, parent);
    box->setGeometry(geometry);
    return box;
}

}  // namespace

void Form1::createOptionControls() {
    cmdShowTreeOptions->setText(kShowTreeOptions);
    Frame1 = new QGroupBox(QStringLiteral("Tree Options"), this);
    Frame1->setGeometry(twips(120, 3600, 3615, 1575));
    ckPicture = makeCheckBox(QStringLiteral("Pictures"), Frame1, twips(240, 240, 1575, 255));
    ckUserDetails =
        makeCheckBox(QStringLiteral("User Details"), Frame1, twips(240, 480, 1695, 255));
    ckPlusMinus =
        makeCheckBox(QStringLiteral("Plus/Minus Symbols"), Frame1, twips(240, 720, 1815, 255));
    ckExpandItem = makeCheckBox(QStringLiteral("Expand/Collapse Item When Selected"), Frame1,
                                twips(240, 960, 3135, 255));
    ckKeepExpanded =
        makeCheckBox(QStringLiteral("Keep expanded"), Frame1, twips(240, 1200, 3135, 255));
    ckKeepExpanded->setToolTip(
        QStringLiteral("After each scan, open the files and users that were open and select "
                       "the node that was selected"));
    ckHotTracking =
        makeCheckBox(QStringLiteral("Hot Tracking"), Frame1, twips(2040, 240, 1335, 255));
    ckFullRowSelect =
        makeCheckBox(QStringLiteral("Full Row Select"), Frame1, twips(2040, 480, 1455, 255));
    // The held-too-long alert shares the free row of the right column.
    auto* heldLabel = new QLabel(QStringLiteral("Alert"), Frame1);
    heldLabel->setGeometry(twips(2070, 720, 450, 255));
    txtHeldLimit = new QSpinBox(Frame1);
    txtHeldLimit->setGeometry(twips(2520, 690, 1020, 285));
    txtHeldLimit->setRange(0, 99999);
    txtHeldLimit->setSuffix(QStringLiteral(" min"));
    txtHeldLimit->setSpecialValueText(QStringLiteral("off"));
    const QString heldTip =
        QStringLiteral("Alert when a file is held longer than N minutes (0: off)");
    heldLabel->setToolTip(heldTip);
    txtHeldLimit->setToolTip(heldTip);
    Frame1->setAutoFillBackground(true);  // it lies over the tree
    Frame1->raise();

    connect(ckPicture, &QCheckBox::toggled, this, &Form1::ckPicture_Click);
    connect(ckPlusMinus, &QCheckBox::toggled, this, &Form1::ckPlusMinus_Click);
    connect(ckUserDetails, &QCheckBox::toggled, this, &Form1::ckUserDetails_Click);
    connect(ckHotTracking, &QCheckBox::toggled, this, &Form1::ckHotTracking_Click);
    connect(ckFullRowSelect, &QCheckBox::toggled, this, &Form1::ckFullRowSelect_Click);
    connect(ckExpandItem, &QCheckBox::toggled, this, &Form1::ckExpandItem_Click);
    connect(ckKeepExpanded, &QCheckBox::toggled, this, &Form1::ckKeepExpanded_Click);
    connect(txtHeldLimit, &QSpinBox::valueChanged, this,
            [this](int minutes) { m_release.setHeldLimitMinutes(minutes); });
}

void Form1::loadOptions() {
    const TreeOptions options = loadTreeOptions(m_context.settings());
    ckButtonTips->setChecked(options.ButTips != 0);
    applyButtonTips();
    PicturesOption = options.Pictures;
    ckPicture->setChecked(PicturesOption != 0);
    PlusMinusOption = options.PlusMinus;
    ckPlusMinus->setChecked(PlusMinusOption != 0);
    UserDetailsOption = options.UserDetails;
    ckUserDetails->setChecked(UserDetailsOption != 0);
    HotTrackingOption = options.HotTracking;
    ckHotTracking->setChecked(HotTrackingOption != 0);
    FullRowSelectOption = options.FullRowSelect;
    ckFullRowSelect->setChecked(FullRowSelectOption != 0);
    ExpandItemOption = options.ExpandItem;
    ckExpandItem->setChecked(ExpandItemOption != 0);
    KeepExpandedOption = options.KeepExpanded;
    ckKeepExpanded->setChecked(KeepExpandedOption != 0);
    txtHeldLimit->setValue(loadHeldLimitMinutes(m_context.settings()));

    applyTreeStyle();
    TreeView1->setSingleExpand(ExpandItemOption != 0);
    TreeView1->setHotTracking(HotTrackingOption != 0);
    TreeView1->setFullRowSelect(FullRowSelectOption != 0);
}

void Form1::saveOptions() {
    TreeOptions options;
    options.ButTips = ckButtonTips->isChecked() ? 1 : 0;
    options.Pictures = PicturesOption;
    options.PlusMinus = PlusMinusOption;
    options.UserDetails = UserDetailsOption;
    options.HotTracking = HotTrackingOption;
    options.FullRowSelect = FullRowSelectOption;
    options.ExpandItem = ExpandItemOption;
    options.KeepExpanded = KeepExpandedOption;
    saveTreeOptions(m_context.settings(), options);
    saveHeldLimitMinutes(m_context.settings(), txtHeldLimit->value());
}

void Form1::cmdShowTreeOptions_Click() {
    if (cmdShowTreeOptions->text() == kShowTreeOptions) {
        cmdShowTreeOptions->setText(kHideTreeOptions);
        Frame1->show();
    } else {
        cmdShowTreeOptions->setText(kShowTreeOptions);
        Frame1->hide();
    }
}

void Form1::applyButtonTips() {
    const bool on = ckButtonTips->isChecked();
    for (const ButtonTip& entry : buttonTips()) {
        (this->*entry.button)->setToolTip(on ? entry.tip : QString());
    }
}

void Form1::applyTreeStyle() {
    TreeView1->setTreeStyle(treeStyleFor(PicturesOption != 0, PlusMinusOption != 0));
}

void Form1::ckButtonTips_Click() {
    applyButtonTips();
}

void Form1::ckPicture_Click() {
    PicturesOption = ckPicture->isChecked() ? 1 : 0;
    applyTreeStyle();
}

void Form1::ckPlusMinus_Click() {
    PlusMinusOption = ckPlusMinus->isChecked() ? 1 : 0;
    applyTreeStyle();
}

void Form1::ckUserDetails_Click() {
    UserDetailsOption = ckUserDetails->isChecked() ? 1 : 0;
}

void Form1::ckHotTracking_Click() {
    HotTrackingOption = ckHotTracking->isChecked() ? 1 : 0;
    TreeView1->setHotTracking(HotTrackingOption != 0);
}

void Form1::ckFullRowSelect_Click() {
    FullRowSelectOption = ckFullRowSelect->isChecked() ? 1 : 0;
    TreeView1->setFullRowSelect(FullRowSelectOption != 0);
}

void Form1::ckExpandItem_Click() {
    ExpandItemOption = ckExpandItem->isChecked() ? 1 : 0;
    TreeView1->setSingleExpand(ExpandItemOption != 0);
}

void Form1::ckKeepExpanded_Click() {
    KeepExpandedOption = ckKeepExpanded->isChecked() ? 1 : 0;
}

// ---- The tree kept expanded across scans ----

QString Form1::nodeTrail(const QTreeWidgetItem* node) const {
    QStringList texts;
    QList<int> levels;
    for (const QTreeWidgetItem* n = node; n != nullptr; n = n->parent()) {
        texts.prepend(n->text(0));
        levels.prepend(nodeLevel(n));
    }
    return tavrel::nodeTrail(levels, texts);
}

Form1::TreeShape Form1::treeShape() const {
    TreeShape shape;
    for (QTreeWidgetItemIterator it(TreeView1); *it != nullptr; ++it) {
        if ((*it)->isExpanded()) {
            shape.expanded.insert(nodeTrail(*it));
        }
    }
    if (const QTreeWidgetItem* current = TreeView1->currentItem()) {
        shape.current = nodeTrail(current);
    }
    return shape;
}

void Form1::restoreTreeShape(const TreeShape& shape) {
    QTreeWidgetItem* current = nullptr;
    for (QTreeWidgetItemIterator it(TreeView1); *it != nullptr; ++it) {
        const QString trail = nodeTrail(*it);
        if (shape.expanded.contains(trail)) {
            (*it)->setExpanded(true);
        }
        if (current == nullptr && !shape.current.isEmpty() && trail == shape.current) {
            current = *it;
        }
    }
    if (current != nullptr) {
        TreeView1->setCurrentItem(current);
        TreeView1->scrollToItem(current);
    }
}

}  // namespace tavrel
