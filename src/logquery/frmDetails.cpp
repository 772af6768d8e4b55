#include "logquery/frmDetails.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>

#include "common/AppContext.h"
#include "common/BusyPointer.h"
#include "common/Clock.h"
#include "common/Platform.h"
#include "common/Prompts.h"
#include "common/WindowGestures.h"
#include "logquery/DayDetails.h"
#include "logquery/NavigatorBar.h"
#include "logquery/ResultGrid.h"
#include "logquery/StayTimeline.h"
#include "monitor/ActionJournal.h"
#include "monitor/CreateLogDatabase.h"
#include "monitor/LogLocation.h"

namespace tavrel {

namespace {

// Positions are given in twips, fifteen to a pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

}  // namespace

frmDetails::frmDetails(AppContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    createControls();
    WindowGestures::install(this, {Label1, Label2, Label3, sbStatus});
}

void frmDetails::showModal(AppContext& context, QWidget* parent) {
    frmDetails window(context, parent);
    // Shown before the day's query runs, so that it can be stopped.
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    window.Form_Load();
    window.exec();
}

frmDetails::~frmDetails() {
    grid->result().close();  // before the connection goes
}

void frmDetails::createControls() {
    // The day's actions take a list of their own below the timeline.
    constexpr int kActions = 1560;
    setFixedSize(9600 / 15, (8760 + kActions) / 15);

    Label1 = new QLabel(QStringLiteral("Date"), this);
    Label1->setGeometry(twips(120, 150, 480, 255));
    Text1 = new QLineEdit(this);
    Text1->setGeometry(twips(600, 105, 1455, 330));
    Text1->setMaxLength(kDateBoxLength);
    Text1->installEventFilter(this);
    cmdGo = new QPushButton(QStringLiteral("&Get Data"), this);
    cmdGo->setGeometry(twips(2160, 90, 1215, 360));
    cmdGo->setAutoDefault(false);

    grid = new ResultGrid(this);
    grid->setGeometry(twips(120, 540, 9360, 3510));
    Label2 = grid->Label2;
    DataGrid1 = grid->DataGrid1;
    Adodc1 = grid->Adodc1;

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

    lvwActions = new QTreeWidget(this);
    lvwActions->setGeometry(twips(120, 7500, 9360, kActions - 60));
    lvwActions->setRootIsDecorated(false);
    lvwActions->setHeaderLabels(dayActionsHeadings());

    Command7 = new QPushButton(QStringLiteral("Cl&ipboard"), this);
    Command7->setGeometry(twips(120, 7560 + kActions, 1215, 375));
    Command7->setToolTip(QStringLiteral("Copy selected data to Clipboard"));
    Command7->setAutoDefault(false);
    Command7->hide();
    Label3 = new QLabel(this);
    Label3->setGeometry(twips(1440, 7620 + kActions, 6600, 255));
    Command4 = new QPushButton(QStringLiteral("&Close"), this);
    Command4->setGeometry(twips(8265, 7560 + kActions, 1215, 375));
    Command4->setToolTip(QStringLiteral("Close screen"));
    Command4->setAutoDefault(false);

    sbStatus = new QStatusBar(this);
    sbStatus->setGeometry(twips(0, 8400 + kActions, 9600, 360));
    sbStatus->setSizeGripEnabled(false);

    connect(cmdGo, &QPushButton::clicked, this, &frmDetails::cmdGo_Click);
    connect(Command7, &QPushButton::clicked, this, &frmDetails::Command7_Click);
    connect(Command4, &QPushButton::clicked, this, &frmDetails::Command4_Click);
    connect(grid, &ResultGrid::currentRecordChanged, this, &frmDetails::FillInOutList);
    connect(grid, &ResultGrid::runningChanged, this, [this](bool running) {
        for (QWidget* control : std::initializer_list<QWidget*>{Text1, cmdGo, Command7, Command4}) {
            control->setEnabled(!running);
        }
    });
}

void frmDetails::reject() {
    // Esc (or the title bar's close) stops a running day query first.
    if (!grid->stop()) {
        QDialog::reject();
    }
}

void frmDetails::setStatus(const QString& text) {
    sbStatus->showMessage(text);
}

QString frmDetails::statusText() const {
    return sbStatus->currentMessage();
}

QString frmDetails::adodcCaption() const {
    return Adodc1->caption();
}

int frmDetails::recordCount() const {
    return static_cast<int>(grid->result().recordCount());
}

void frmDetails::Form_Load() {
    setWindowTitle(QStringLiteral("Log Table Details"));
    const QString path = loglocation::current(m_context.settings(), m_context.AppFolder);
    if (!LogDb::LogExists(path) && !CreateLogDatabase(m_context.prompts(), path)) {
        m_context.prompts().message(QStringLiteral("Unable to create ") + path,
                                    MessageIcon::Exclamation);
        return;
    }
    if (m_db.open(path)) {
        grid->open(path);
    }
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
        // Only a key that types a character is filtered: moving keys, Tab, Delete, Return
        // and Esc act as in any text box.
        const QString text = static_cast<QKeyEvent*>(event)->text();
        int KeyAscii = text.isEmpty() ? 0 : text.at(0).unicode();
        if (KeyAscii != 0) {
            Text1_KeyPress(KeyAscii);
            if (KeyAscii == 0) {
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmDetails::cmdGo_Click() {
    const std::optional<QDate> day = parseDateBox(Text1->text(), m_context.clock().now().date());
    if (!day) {
        Text1->setFocus();
        setStatus(QStringLiteral("Invalid date"));
        return;
    }
    lvwDetails->clear();
    Timeline1->setSpans({});
    setStatus(QStringLiteral("Retrieving data..."));
    m_day = *day;
    fillActions();
    // Making the first record current fills the list; the caption is the count after it.
    if (!grid->isOpen() || !grid->requery(dayQuery(*day))) {
        if (grid->isOpen()) {
            setStatus(grid->error().description);
        }
        return;
    }
    grid->showCountCaption();
    if (recordCount() != 0) {
        setStatus(QStringLiteral("Data retrieved"));
        Command7->show();
    } else {
        setStatus(QStringLiteral("No data found"));
        Command7->hide();
    }
}

void frmDetails::fillActions() {
    lvwActions->clear();
    if (!m_db.isOpen()) {
        return;
    }
    const LogDbResult result = journalOfDay(m_db, m_day);
    for (const QVariantList& row : result.rows) {
        new QTreeWidgetItem(lvwActions, dayActionTexts(row));
    }
}

void frmDetails::DataGrid1_HeadClick(int ColIndex) {
    grid->DataGrid1_HeadClick(ColIndex);
}

QVariantList frmDetails::currentRow() const {
    QVariantList row;
    const qint64 record = grid->currentRecord();
    if (record > 0) {
        for (int column = 0; column < grid->result().columns().size(); ++column) {
            row.append(grid->result().value(record - 1, column));
        }
    }
    return row;
}

void frmDetails::FillInOutList() {
    const QVariantList row = currentRow();
    if (row.isEmpty()) {
        return;
    }
    BusyPointer busy;
    lvwDetails->clear();
    const InOutList list = tavrel::FillInOutList(
        row.value(daycol::InTimes), row.value(daycol::OutTimes), m_day, m_context.clock().now());
    for (const InOutRow& stay : list.rows) {
        new QTreeWidgetItem(lvwDetails, {stay.in, stay.out, stay.length});
    }
    Timeline1->setSpans(list.spans);
}

void frmDetails::Command7_Click() {
    const QVariantList row = currentRow();
    if (row.isEmpty()) {
        return;
    }
    BusyPointer busy;
    QList<InOutRow> rows;
    for (int i = 0; i < lvwDetails->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvwDetails->topLevelItem(i);
        rows.append({item->text(0), item->text(1), item->text(2)});
    }
    const QString text = usageSummary(m_context.clock().now(), Text1->text(), row, rows);
    m_context.platform().setClipboardText(text);
    setStatus(QString::number(text.size()) + QStringLiteral(" characters copied to Clipboard."));
}

void frmDetails::Command4_Click() {
    close();
}

}  // namespace tavrel
