#include "logquery/frmData.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>

#include "common/AppContext.h"
#include "common/Module1.h"
#include "common/Prompts.h"
#include "common/WindowGestures.h"
#include "logquery/NavigatorBar.h"
#include "logquery/QueryText.h"
#include "logquery/ResultGrid.h"
#include "monitor/CreateLogDatabase.h"
#include "monitor/LogLocation.h"

namespace tavrel {

namespace {

QPushButton* makeButton(QWidget* parent, const QString& caption, const QString& tip, bool visible) {
    auto* button = new QPushButton(caption, parent);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setVisible(visible);
    return button;
}

// The text box holds line feeds; the statement rules and .sql files use CR LF.
QString boxText(const QString& text) {
    QString box = text;
    box.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return box;
}

}  // namespace

frmData::frmData(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_exports(context.prompts(), context.platform(), context.clock(), context.AppFolder,
                [this](bool on) {
                    if (on) {
                        m_exportBusy.emplace();
                    } else {
                        m_exportBusy.reset();
                    }
                }) {
    setWindowTitle(querytexts::kTitle);
    grid = new ResultGrid(this);
    Label2 = grid->Label2;
    DataGrid1 = grid->DataGrid1;
    Adodc1 = grid->Adodc1;
    Text1 = new QPlainTextEdit(this);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setPlainText(boxText(querytext::initialStatement()));

    Command1 = makeButton(this, QStringLiteral("&Open SQL"), QStringLiteral("Open SQL file"), true);
    Command2 =
        makeButton(this, QStringLiteral("&Save SQL"), QStringLiteral("Save SQL file"), false);
    Command3 =
        makeButton(this, QStringLiteral("&Run SQL"), QStringLiteral("Run SQL in text box"), false);
    Command5 = makeButton(this, QStringLiteral("C&lear SQL"),
                          QStringLiteral("Clear SQL in text box"), false);
    Command7 = makeButton(this, QStringLiteral("Cl&ipboard"),
                          QStringLiteral("Copy records to Clipboard"), false);
    Command6 = makeButton(this, QStringLiteral("&Print"), QStringLiteral("Print records"), false);
    Command8 =
        makeButton(this, QStringLiteral("S&ave"),
                   QStringLiteral("Save records to a comma seperated values (CSV) file"), false);
    Command4 = makeButton(this, QStringLiteral("&Close"), QStringLiteral("Close screen"), true);
    sbStatus = new QStatusBar(this);
    sbStatus->setSizeGripEnabled(false);

    auto* left = new QVBoxLayout;
    left->addWidget(grid, 3);
    left->addWidget(Text1, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button :
         {Command1, Command2, Command3, Command5, Command7, Command6, Command8, Command4}) {
        button->setMinimumWidth(105);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addLayout(body, 1);
    layout->addWidget(sbStatus);
    resize(820, 560);

    connect(Text1, &QPlainTextEdit::textChanged, this, &frmData::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &frmData::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmData::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmData::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmData::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmData::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &frmData::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &frmData::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &frmData::Command8_Click);
    connect(grid, &ResultGrid::runningChanged, this, &frmData::showRunning);
    WindowGestures::install(this, {Label2, sbStatus});
}

frmData::~frmData() {
    grid->result().close();  // before the connection goes
}

void frmData::showModal(AppContext& context, QWidget* parent) {
    frmData window(context, parent);
    // Shown before the first statement runs, so that it can be stopped.
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    window.Form_Load();
    window.exec();
}

QString frmData::logPath() const {
    return loglocation::current(m_context.settings(), m_context.AppFolder);
}

QString frmData::statusText() const {
    return sbStatus->currentMessage();
}

void frmData::setStatus(const QString& text) {
    sbStatus->showMessage(text);
}

void frmData::showUnableToProcess(const QString& reason) {
    setStatus(reason.isEmpty() ? querytexts::kUnableToProcess
                               : querytexts::kUnableToProcess + QStringLiteral(": ") + reason);
}

void frmData::showRunning(bool running) {
    for (QPushButton* button :
         {Command1, Command2, Command3, Command5, Command7, Command6, Command8, Command4}) {
        button->setEnabled(!running);
    }
    Text1->setReadOnly(running);
    // A sort or an export that ends says nothing of its own: the line is as it was.
    if (running) {
        m_statusBeforeRun = statusText();
    }
    setStatus(running ? querytexts::kRunning : m_statusBeforeRun);
}

void frmData::showExports(bool visible) {
    Command6->setVisible(visible);
    Command7->setVisible(visible);
    Command8->setVisible(visible);
}

void frmData::Form_Load() {
    const QString path = logPath();
    if (!LogDb::LogExists(path) && !CreateLogDatabase(m_context.prompts(), path)) {
        m_context.prompts().message(querytexts::kUnableToCreate + path, MessageIcon::Exclamation);
        return;
    }
    if (grid->open(path)) {
        grid->requery(Text1->toPlainText());
    }
    if (grid->result().recordCount() != 0) {
        setStatus(querytexts::kDataRetrieved);
        showExports(true);
    } else if (grid->result().stopped()) {
        showUnableToProcess(grid->error().description);
    } else {
        setStatus(querytexts::kNoDataFound);
    }
}

void frmData::Form_Paint() {
    grid->showCountCaption();
}

void frmData::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_watchingExpose && windowHandle() != nullptr) {
        windowHandle()->installEventFilter(this);
        m_watchingExpose = true;
    }
}

bool frmData::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle() &&
        windowHandle()->isExposed()) {
        Form_Paint();
    }
    return QDialog::eventFilter(watched, event);
}

void frmData::Text1_Change() {
    const bool offered = querytext::offersStatementButtons(Text1->toPlainText());
    Command2->setVisible(offered);
    Command3->setVisible(offered);
    Command5->setVisible(offered);
}

void frmData::Command3_Click() {
    QElapsedTimer elapsed;
    elapsed.start();
    const QString statement = querytext::runStatement(Text1->toPlainText());
    if (!grid->isOpen() || !grid->requery(statement)) {
        showUnableToProcess(grid->isOpen() ? grid->error().description
                                           : grid->lastError().description);
        return;
    }
    const qint64 records = grid->result().recordCount();
    Adodc1->setCaption(querytext::runCaption(records, elapsed.nsecsElapsed() / 1e9));
    showExports(records != 0);
    Label2->setText(querytexts::kSortHint);
    setStatus(querytexts::kProcessed);
}

void frmData::Command1_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Open File");
    request.filter = querytexts::kSqlFilter;
    request.initialFolder = m_context.AppFolder;
    request.mustExist = true;
    const QString path =
        StripAtNul(querytext::trimSpaces(m_context.prompts().openFileName(request)));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    std::optional<QString> text;
    {
        BusyPointer busy;
        text = querytext::readSqlFile(path, &error);
    }
    if (!text) {
        setStatus(QStringLiteral("Unable to open ") + path + QStringLiteral(": ") + error);
        return;
    }
    Text1->setPlainText(boxText(*text));
    setStatus(querytexts::kFileOpened);
    Command3_Click();
}

void frmData::Command2_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Save File");
    request.filter = querytexts::kSqlFilter;
    request.initialFolder = m_context.AppFolder;
    // The question is asked here, of the name with its extension, which the dialog never
    // sees.
    QString path = StripAtNul(m_context.prompts().saveFileName(request));
    if (path.isEmpty()) {
        return;
    }
    path = querytext::sqlFilePath(path);
    if (m_context.prompts().messageBox(querytext::saveSqlQuestion(path, QFileInfo::exists(path))) !=
        MessageAnswer::Yes) {
        return;
    }
    QString error;
    bool saved = false;
    {
        BusyPointer busy;
        saved = querytext::writeSqlFile(path, Text1->toPlainText(), &error);
    }
    setStatus(saved ? querytexts::kFileSaved
                    : QStringLiteral("Unable to save ") + path + QStringLiteral(": ") + error);
}

void frmData::Command5_Click() {
    Text1->clear();
    setStatus(querytexts::kSqlCleared);
}

void frmData::Command6_Click() {
    setStatus(m_exports.printRecords(grid->result(), Text1->toPlainText()));
}

void frmData::Command7_Click() {
    if (const std::optional<QString> status = m_exports.copyRecords(grid->result())) {
        setStatus(*status);
    }
}

void frmData::Command8_Click() {
    const std::optional<QString> path = m_exports.saveCsv(grid->result());
    if (!path) {
        return;
    }
    grid->setCurrentRecord(1);
    setStatus(QStringLiteral("File created"));
    m_exports.offerToOpen(*path);
}

void frmData::Command4_Click() {
    grid->result().close();
    QDialog::reject();
}

void frmData::reject() {
    // Esc (or the title bar's close) stops a running statement first.
    if (!grid->stop()) {
        Command4_Click();
    }
}

}  // namespace tavrel
