#pragma once

#include <QWidget>

#include "external/logdb/LogDb.h"
#include "logquery/ResultSet.h"
#include "logquery/ResultSort.h"

class QLabel;
class QTableView;

namespace tavrel {

class NavigatorBar;

// A result grid as the log windows show one: the sort label Label2 above, the grid
// DataGrid1 on the rows of a ResultSet (read as they scroll into view), and the navigator
// bar Adodc1 below. A click on a heading sorts by that column; moving the current row
// updates the navigator's "Record p of n".
class ResultGrid : public QWidget {
    Q_OBJECT
public:
    explicit ResultGrid(QWidget* parent = nullptr);

    void setDatabase(const LogDb& db);
    ResultSet& result() { return m_result; }
    SortState& sortState() { return m_sort; }

    // Runs the statement as the grid's record source and makes its first record current.
    // When it fails, a statement that only read is run again so the grid shows what it
    // showed; error() says why the new one failed.
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
    QTableView* DataGrid1;
    NavigatorBar* Adodc1;

signals:
    void currentRecordChanged(qint64 record);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitColumns();

    bool m_fitPending = false;
    ResultSet m_result;
    SortState m_sort;
    LogDbError m_error;
};

}  // namespace tavrel
