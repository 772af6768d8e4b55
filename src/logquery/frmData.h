#pragma once

#include <QDialog>
#include <optional>

#include "common/BusyPointer.h"
#include "logquery/QueryExports.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTableView;

namespace tavrel {

class AppContext;
class NavigatorBar;
class ResultGrid;

// The query window: any SQL statement run on the usage log, its rows in a grid sorted by
// a heading click, statements loaded from and saved to .sql files, and the rows printed,
// copied or saved as CSV. A statement runs beside the window: Stop or Esc ends it.
class frmData : public QDialog {
    Q_OBJECT
public:
    explicit frmData(AppContext& context, QWidget* parent = nullptr);
    ~frmData() override;

    // Opens a fresh window modally over parent and returns when it is closed.
    static void showModal(AppContext& context, QWidget* parent);

    void Form_Load();
    void Form_Paint();
    void Text1_Change();
    void Command1_Click();  // Open SQL
    void Command2_Click();  // Save SQL
    void Command3_Click();  // Run SQL
    void Command4_Click();  // Close
    void Command5_Click();  // Clear SQL
    void Command6_Click();  // Print
    void Command7_Click();  // Clipboard
    void Command8_Click();  // Save CSV

    QString statusText() const;
    QString logPath() const;

    QPlainTextEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command5;
    QPushButton* Command7;
    QPushButton* Command6;
    QPushButton* Command8;
    QPushButton* Command4;
    ResultGrid* grid;
    QLabel* Label2;         // the grid's sort label
    QTableView* DataGrid1;  // the grid
    NavigatorBar* Adodc1;   // the grid's navigator bar
    QStatusBar* sbStatus;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setStatus(const QString& text);
    void showUnableToProcess(const QString& reason);
    void showRunning(bool running);
    void showExports(bool visible);

    AppContext& m_context;
    QueryExports m_exports;
    std::optional<BusyPointer> m_exportBusy;
    bool m_watchingExpose = false;
    QString m_statusBeforeRun;
};

}  // namespace tavrel
