#include "about/frmAbout.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "about/AboutText.h"
#include "common/AppContext.h"
#include "common/AppTitle.h"
#include "common/Platform.h"

namespace tavrel {

namespace {

const QColor kLinkColour(0, 0, 255);
const QColor kLinkHoverColour(255, 0, 0);

// Positions are given in twips, fifteen to a pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

}  // namespace

frmAbout::frmAbout(AppContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    setWindowTitle(QStringLiteral("About ") + kAppTitle);
    setFixedSize(6255 / 15, 4110 / 15);
    setMouseTracking(true);

    Image1 = new QLabel(this);
    Image1->setGeometry(twips(240, 240, 720, 720));
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/vigil.png"))
                          .scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    Text1 = new QPlainTextEdit(this);
    Text1->setGeometry(twips(1200, 240, 4815, 2400));
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(9);
    Text1->setFont(arial);
    QPalette grey = Text1->palette();
    grey.setColor(QPalette::Base, QColor(0xe0, 0xe0, 0xe0));
    Text1->setPalette(grey);

    Label4 = new QLabel(QStringLiteral("Open FAQ file"), this);
    Label4->setGeometry(twips(1200, 2760, 1500, 255));
    Label4->setMouseTracking(true);
    // The platform's pointing hand stands in for the window's own link pointer.
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->installEventFilter(this);
    setLinkColour(kLinkColour);

    Label3 = new QLabel(this);
    Label3->setGeometry(twips(1200, 3060, 4815, 255));

    Command1 = new QPushButton(QStringLiteral("&OK"), this);
    Command1->setGeometry(twips(4800, 3480, 1215, 375));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);

    Form_Load();
}

void frmAbout::Form_Load() {
    Text1->setPlainText(aboutDescription(TAVREL_VERSION_MAJOR, TAVREL_VERSION_MINOR));
}

void frmAbout::Label4_Click() {
    const QString path = faqPath(m_context.AppFolder);
    Label3->setText(QStringLiteral("Open file: ") + path);
    // Put back the FAQ supplied with the program when it is gone; a viewer that cannot
    // start is no news to the operator.
    ensureFaqFile(m_context.AppFolder);
    m_context.platform().openTextViewer(path);
}

void frmAbout::Label4_MouseMove() {
    setLinkColour(kLinkHoverColour);
}

void frmAbout::Form_MouseMove() {
    setLinkColour(kLinkColour);
}

void frmAbout::Command1_Click() {
    accept();
}

void frmAbout::setLinkColour(const QColor& colour) {
    QPalette palette = Label4->palette();
    palette.setColor(QPalette::WindowText, colour);
    Label4->setPalette(palette);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label4) {
        // The link's own mouse events stop here: passed on, they would reach the window's
        // background as well.
        switch (event->type()) {
            case QEvent::MouseMove:
                Label4_MouseMove();
                return true;
            case QEvent::Enter:
                Label4_MouseMove();
                break;
            case QEvent::Leave:
                Form_MouseMove();
                break;
            case QEvent::MouseButtonPress:
                return true;
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                    Label4_Click();
                }
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QDialog::mouseMoveEvent(event);
}

}  // namespace tavrel
