#include "logquery/ResultGrid.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "common/BusyPointer.h"
#include "logquery/NavigatorBar.h"
#include "logquery/QueryText.h"

namespace tavrel {

ResultGrid::ResultGrid(QWidget* parent) : QWidget(parent) {
    Label2 = new QLabel(querytexts::kSortHint, this);
    cmdStop = new QPushButton(QStringLiteral("S&top"), this);
    cmdStop->setToolTip(QStringLiteral("Stop the running statement (Esc)"));
    cmdStop->setAutoDefault(false);
    QSizePolicy keepsItsRoom = cmdStop->sizePolicy();
    keepsItsRoom.setRetainSizeWhenHidden(true);  // the grid does not move as it shows
    cmdStop->setSizePolicy(keepsItsRoom);
    cmdStop->hide();
    DataGrid1 = new QTableView(this);
    DataGrid1->setModel(&m_result);
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setWordWrap(false);
    // Column widths from the first page only: measuring more would read it all.
    DataGrid1->horizontalHeader()->setResizeContentsPrecision(ResultSet::kPageRows);
    DataGrid1->horizontalHeader()->setSectionsClickable(true);
    DataGrid1->horizontalHeader()->setHighlightSections(false);
    DataGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataGrid1->verticalHeader()->setDefaultSectionSize(DataGrid1->fontMetrics().height() + 6);
    Adodc1 = new NavigatorBar(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    top->addWidget(Label2, 1);
    top->addWidget(cmdStop);
    layout->addLayout(top);
    layout->addWidget(DataGrid1, 1);
    layout->addWidget(Adodc1);

    connect(DataGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &ResultGrid::DataGrid1_HeadClick);
    connect(DataGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { DataGrid1_RowColChange(); });
    connect(Adodc1, &NavigatorBar::moveFirst, this, [this] { setCurrentRecord(1); });
    connect(Adodc1, &NavigatorBar::movePrevious, this,
            [this] { setCurrentRecord(std::max<qint64>(1, currentRecord() - 1)); });
    connect(Adodc1, &NavigatorBar::moveNext, this,
            [this] { setCurrentRecord(std::min(m_result.recordCount(), currentRecord() + 1)); });
    connect(Adodc1, &NavigatorBar::moveLast, this,
            [this] { setCurrentRecord(m_result.recordCount()); });
    connect(cmdStop, &QPushButton::clicked, this, &ResultGrid::stop);
    connect(&m_worker, &QueryWorker::runningChanged, this, [this](bool running) {
        cmdStop->setVisible(running);
        DataGrid1->horizontalHeader()->setSectionsClickable(!running);
        Adodc1->setEnabled(!running);
        emit runningChanged(running);
    });
}

bool ResultGrid::open(const QString& location) {
    if (!m_worker.open(location)) {
        return false;
    }
    m_result.setWorker(&m_worker);
    return true;
}

bool ResultGrid::requery(const QString& statement) {
    const QString previous = m_result.statement();
    const bool previousOnlyRead = m_result.readOnly();
    // Where the grid stood, to come back to when the statement fails.
    const QModelIndex current = DataGrid1->currentIndex();
    const int row = current.row();
    const int column = current.column();
    const int scrolled = DataGrid1->verticalScrollBar()->value();
    const QString caption = Adodc1->caption();
    m_error = {};
    if (m_result.run(statement)) {
        DataGrid1->horizontalHeader()->setSortIndicatorShown(false);
        fitColumns();
        setCurrentRecord(1);
        return true;
    }
    m_error = m_result.error();
    // A statement the operator stopped leaves the grid empty: the former one may be as long.
    if (previousOnlyRead && !m_result.stopped()) {
        // The grid comes back as it was: the same record current, the same caption.
        m_result.run(previous, ResultSet::RunMode::OnlyReading);
        if (row >= 0 && row < m_result.rowCount()) {
            DataGrid1->setCurrentIndex(m_result.index(row, column));
        }
        DataGrid1->verticalScrollBar()->setValue(scrolled);
        Adodc1->setCaption(caption);
    }
    return false;
}

void ResultGrid::fitColumns() {
    // A hidden grid has no rows in view to measure: fitted when it shows.
    m_fitPending = !DataGrid1->isVisible();
    if (!m_fitPending) {
        DataGrid1->resizeColumnsToContents();
    }
}

void ResultGrid::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_fitPending) {
        fitColumns();
    }
}

qint64 ResultGrid::currentRecord() const {
    const QModelIndex current = DataGrid1->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void ResultGrid::setCurrentRecord(qint64 record) {
    if (record < 1 || record > m_result.recordCount()) {
        return;
    }
    const int column = std::max(0, DataGrid1->currentIndex().column());
    DataGrid1->setCurrentIndex(m_result.index(static_cast<int>(record - 1), column));
}

void ResultGrid::DataGrid1_HeadClick(int ColIndex) {
    if (m_result.recordCount() == 0) {
        return;
    }
    std::optional<QString> label;
    {
        BusyPointer busy;
        label = sortOnColumn(m_result, m_sort, ColIndex);
        if (label && *label != querytexts::kCantSort) {
            DataGrid1->horizontalHeader()->setSortIndicator(
                ColIndex, m_sort.SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
            DataGrid1->horizontalHeader()->setSortIndicatorShown(true);
        }
        fitColumns();
        setCurrentRecord(1);
    }
    if (label) {
        Label2->setText(*label);
    }
}

void ResultGrid::DataGrid1_RowColChange() {
    const qint64 record = currentRecord();
    if (record > 0) {
        Adodc1->setCaption(querytext::positionCaption(record, m_result.recordCount()));
    }
    emit currentRecordChanged(record);
}

void ResultGrid::showCountCaption() {
    Adodc1->setCaption(querytext::countCaption(m_result.recordCount()));
}

}  // namespace tavrel
