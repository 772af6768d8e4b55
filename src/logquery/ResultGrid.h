#pragma once

#include <QWidget>

#include "external/logdb/LogDb.h"
#include "logquery/QueryWorker.h"
#include "logquery/ResultSet.h"
#include "logquery/ResultSort.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tavrel {

class NavigatorBar;

// A result grid as the log windows show one: the sort label Label2 above, the grid
// DataGrid1 on the rows of a ResultSet (read as they scroll into view), and the navigator
// bar Adodc1 below. A click on a heading sorts by that column; moving the current row
// updates the navigator's "Record p of n".
//
// Statements, sorts and exports run on a connection of the grid's own, off the window's
// thread: while one runs (running()), the Stop button shows beside the sort label and the
// window goes on handling events; stop() ends it.
class ResultGrid : public QWidget {
    Q_OBJECT
public:
    explicit ResultGrid(QWidget* parent = nullptr);

    // Opens the grid's own connection to the log; false with lastError().
    bool open(const QString& location);
    bool isOpen() const { return m_worker.isOpen(); }
    const LogDbError& lastError() const { return m_worker.lastError(); }
    ResultSet& result() { return m_result; }
    // True while a statement, sort or export runs.
    bool running() const { return m_worker.running(); }
    // Stops what runs (the Stop button, Esc); false when nothing runs.
    bool stop() { return m_worker.stop(); }
    SortState& sortState() { return m_sort; }

    // Runs the statement as the grid's record source and makes its first record current.
    // When it fails (but was not stopped), a statement that only read is run again so the
    // grid shows what it showed; error() says why the new one failed.
    bool requery(const QString& statement);
    const LogDbError& error() const { return m_error; }

    // The current record, 1-based; 0 when there is none.
    qint64 currentRecord() const;
    void setCurrentRecord(qint64 record);

    // Heading click on column ColIndex (0-based).
    void DataGrid1_HeadClick(int ColIndex);
    // The current row changed: "Record p of n".
    void DataGrid1_RowColChange();
    // The window repainted: "n records".
    void showCountCaption();

    QLabel* Label2;
    QPushButton* cmdStop;
    QTableView* DataGrid1;
    NavigatorBar* Adodc1;

signals:
    void currentRecordChanged(qint64 record);
    // A statement began or ended: the window holds its other controls meanwhile.
    void runningChanged(bool running);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitColumns();

    bool m_fitPending = false;
    QueryWorker m_worker;  // outlives the result set reading through it
    ResultSet m_result;
    SortState m_sort;
    LogDbError m_error;
};

}  // namespace tavrel
