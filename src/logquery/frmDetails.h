#pragma once

#include <QDate>
#include <QDialog>

#include "external/logdb/LogDb.h"
#include "logquery/Stays.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QTreeWidget;

namespace tavrel {

class AppContext;
class NavigatorBar;
class ResultGrid;
class StayTimeline;

// One day of the usage log: a grid row per file and user, and for the selected row every
// stay with its length, a total and a timeline of the day.
class frmDetails : public QDialog {
    Q_OBJECT
public:
    explicit frmDetails(AppContext& context, QWidget* parent = nullptr);
    ~frmDetails() override;

    // Opens a fresh window modally over parent and returns when it is closed.
    static void showModal(AppContext& context, QWidget* parent);

    void Form_Load();
    void cmdGo_Click();
    // Rebuilds the stays list and the timeline for the grid's current row.
    void FillInOutList();
    void Command7_Click();
    void Command4_Click();
    // A typed character in the date box; KeyAscii = 0 swallows it.
    void Text1_KeyPress(int& KeyAscii);
    // Heading click and row change, as the query window's grid has them.
    void DataGrid1_HeadClick(int ColIndex);

    // The navigator's caption and the status line.
    QString adodcCaption() const;
    QString statusText() const;
    int recordCount() const;

    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* cmdGo;
    ResultGrid* grid;  // Label2, DataGrid1 and Adodc1
    QLabel* Label2;
    QTableView* DataGrid1;
    NavigatorBar* Adodc1;
    QTreeWidget* lvwDetails;
    StayTimeline* Timeline1;
    QTreeWidget* lvwActions;  // the day's actions from the journal
    QPushButton* Command7;
    QLabel* Label3;
    QPushButton* Command4;
    QStatusBar* sbStatus;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    // The values of the grid's current record; empty when there is none.
    QVariantList currentRow() const;
    void setStatus(const QString& text);
    void fillActions();

    AppContext& m_context;
    LogDb m_db;   // the day's actions; the grid reads the day on a connection of its own
    QDate m_day;  // the day last fetched
};

}  // namespace tavrel
