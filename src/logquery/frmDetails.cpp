#include "logquery/frmDetails.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>

#include "common/AppContext.h"
#include "common/BusyPointer.h"
#include "common/Clock.h"
#include "common/Platform.h"
#include "common/Prompts.h"
#include "logquery/DayDetails.h"
#include "logquery/StayTimeline.h"
#include "monitor/CreateLogDatabase.h"

namespace tavrel {

namespace {

const QString kSortHint = QStringLiteral("Click on field heading to sort on that field");

// Positions are given in twips, fifteen to a pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

}  // namespace

frmDetails::frmDetails(AppContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    createControls();
    Form_Load();
}

frmDetails::~frmDetails() = default;

void frmDetails::createControls() {
    setFixedSize(9600 / 15, 8760 / 15);

    Label1 = new QLabel(QStringLiteral("Date"), this);
    Label1->setGeometry(twips(120, 150, 480, 255));
    Text1 = new QLineEdit(this);
    Text1->setGeometry(twips(600, 105, 1455, 330));
    Text1->setMaxLength(kDateBoxLength);
    Text1->installEventFilter(this);
    cmdGo = new QPushButton(QStringLiteral("&Get Data"), this);
    cmdGo->setGeometry(twips(2160, 90, 1215, 360));
    cmdGo->setAutoDefault(false);

    Label2 = new QLabel(kSortHint, this);
    Label2->setGeometry(twips(120, 540, 9360, 255));

    m_model = new QStandardItemModel(this);
    DataGrid1 = new QTableView(this);
    DataGrid1->setGeometry(twips(120, 810, 9360, 2895));
    DataGrid1->setModel(m_model);
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGrid1->verticalHeader()->setDefaultSectionSize(20);
    DataGrid1->horizontalHeader()->setSectionsClickable(true);

    Adodc1 = new QLabel(this);
    Adodc1->setGeometry(twips(120, 3720, 9360, 330));
    Adodc1->setFrameShape(QFrame::Panel);
    Adodc1->setFrameShadow(QFrame::Sunken);
    Adodc1->setAlignment(Qt::AlignCenter);

    lvwDetails = new QTreeWidget(this);
    lvwDetails->setGeometry(twips(120, 4140, 9360, 2010));
    lvwDetails->setRootIsDecorated(false);
    lvwDetails->setHeaderLabels(
        {QStringLiteral("In"), QStringLiteral("Out"), QStringLiteral("Hrs/Mins")});
    for (int column = 0; column < 3; ++column) {
        lvwDetails->setColumnWidth(column, 1000 / 15);
        lvwDetails->headerItem()->setTextAlignment(column, Qt::AlignLeft);
    }

    Timeline1 = new StayTimeline(this);
    Timeline1->setGeometry(twips(120, 6210, 9360, 1230));

    Command7 = new QPushButton(QStringLiteral("Cl&ipboard"), this);
    Command7->setGeometry(twips(120, 7560, 1215, 375));
    Command7->setToolTip(QStringLiteral("Copy selected data to Clipboard"));
    Command7->setAutoDefault(false);
    Command7->hide();
    Label3 = new QLabel(this);
    Label3->setGeometry(twips(1440, 7620, 6600, 255));
    Command4 = new QPushButton(QStringLiteral("&Close"), this);
    Command4->setGeometry(twips(8265, 7560, 1215, 375));
    Command4->setToolTip(QStringLiteral("Close screen"));
    Command4->setAutoDefault(false);

    sbStatus = new QStatusBar(this);
    sbStatus->setGeometry(twips(0, 8400, 9600, 360));
    sbStatus->setSizeGripEnabled(false);

    connect(cmdGo, &QPushButton::clicked, this, &frmDetails::cmdGo_Click);
    connect(Command7, &QPushButton::clicked, this, &frmDetails::Command7_Click);
    connect(Command4, &QPushButton::clicked, this, &frmDetails::Command4_Click);
    connect(DataGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &frmDetails::DataGrid1_HeadClick);
    connect(DataGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmDetails::DataGrid1_RowColChange);
}

void frmDetails::setStatus(const QString& text) {
    sbStatus->showMessage(text);
}

QString frmDetails::statusText() const {
    return sbStatus->currentMessage();
}

QString frmDetails::adodcCaption() const {
    return Adodc1->text();
}

int frmDetails::recordCount() const {
    return m_result.rows.size();
}

void frmDetails::Form_Load() {
    setWindowTitle(QStringLiteral("Log Table Details"));
    const QString path = m_context.AppFolder + QStringLiteral("tavrel.mdb");
    if (!LogDb::LogExists(path) && !CreateLogDatabase(m_context.prompts(), path)) {
        m_context.prompts().message(QStringLiteral("Unable to create ") + path,
                                    MessageIcon::Exclamation);
        return;
    }
    m_db.open(path);
    Text1->setText(dateBoxText(m_context.clock().now().date()));
    cmdGo_Click();
    FillInOutList();
}

void frmDetails::Text1_KeyPress(int& KeyAscii) {
    if (!acceptsDateKey(KeyAscii)) {
        KeyAscii = 0;
    }
}

bool frmDetails::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        int KeyAscii = 0;
        if (key->key() == Qt::Key_Backspace) {
            KeyAscii = 8;
        } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            KeyAscii = 13;
        } else if (!key->text().isEmpty()) {
            KeyAscii = key->text().at(0).unicode();
        } else {
            return QDialog::eventFilter(watched, event);  // moving keys: no character
        }
        Text1_KeyPress(KeyAscii);
        if (KeyAscii == 0) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmDetails::cmdGo_Click() {
    const std::optional<QDate> day = parseDateBox(Text1->text());
    if (!day) {
        Text1->setFocus();
        setStatus(QStringLiteral("Invalid date"));
        return;
    }
    BusyPointer busy;
    lvwDetails->clear();
    Timeline1->setSpans({});
    setStatus(QStringLiteral("Retrieving data..."));
    LogDbResult result = runDayQuery(m_db, *day);
    if (!result.ok()) {
        return;
    }
    m_day = *day;
    m_result = std::move(result);
    m_model->clear();
    m_model->setHorizontalHeaderLabels(m_result.columns);
    for (const QVariantList& row : m_result.rows) {
        QList<QStandardItem*> items;
        for (const QVariant& value : row) {
            items.append(new QStandardItem(cellText(value)));
        }
        m_model->appendRow(items);
    }
    const int n = recordCount();
    if (n != 0) {
        DataGrid1->setCurrentIndex(m_model->index(0, 0));
    }
    Adodc1->setText(QString::number(n) + QStringLiteral(" records"));
    if (n != 0) {
        setStatus(QStringLiteral("Data retrieved"));
        Command7->show();
    } else {
        setStatus(QStringLiteral("No data found"));
        Command7->hide();
    }
}

void frmDetails::DataGrid1_HeadClick(int) {}

void frmDetails::DataGrid1_RowColChange() {
    const int current = DataGrid1->currentIndex().row();
    if (current >= 0) {
        Adodc1->setText(QStringLiteral("Record %1 of %2").arg(current + 1).arg(recordCount()));
    }
    FillInOutList();
}

void frmDetails::FillInOutList() {
    const int current = DataGrid1->currentIndex().row();
    if (m_result.rows.isEmpty() || current < 0) {
        return;
    }
    BusyPointer busy;
    lvwDetails->clear();
    const QVariantList& row = m_result.rows[current];
    const InOutList list = tavrel::FillInOutList(
        row.value(daycol::InTimes), row.value(daycol::OutTimes), m_day, m_context.clock().now());
    for (const InOutRow& stay : list.rows) {
        new QTreeWidgetItem(lvwDetails, {stay.in, stay.out, stay.length});
    }
    Timeline1->setSpans(list.spans);
}

void frmDetails::Command7_Click() {
    const int current = DataGrid1->currentIndex().row();
    if (current < 0 || current >= m_result.rows.size()) {
        return;
    }
    BusyPointer busy;
    QList<InOutRow> rows;
    for (int i = 0; i < lvwDetails->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvwDetails->topLevelItem(i);
        rows.append({item->text(0), item->text(1), item->text(2)});
    }
    const QString text =
        usageSummary(m_context.clock().now(), Text1->text(), m_result.rows[current], rows);
    m_context.platform().setClipboardText(text);
    setStatus(QString::number(text.size()) + QStringLiteral(" characters copied to Clipboard."));
}

void frmDetails::Command4_Click() {
    close();
}

}  // namespace tavrel
