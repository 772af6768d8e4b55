#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tavrel {

class AppContext;

// The about box: the program's icon, its description and a link that opens the FAQ.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(AppContext& context, QWidget* parent = nullptr);

    void Form_Load();
    void Label4_Click();
    // The pointer over the link, and over the window's background.
    void Label4_MouseMove();
    void Form_MouseMove();
    void Command1_Click();

    QLabel* Image1;
    QPlainTextEdit* Text1;
    QLabel* Label4;
    QLabel* Label3;
    QPushButton* Command1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void setLinkColour(const QColor& colour);

    AppContext& m_context;
};

}  // namespace tavrel
