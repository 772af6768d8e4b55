#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "about/frmAbout.h"
#include "common/AppContext.h"
#include "external/netware/EmulatedNetWare.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

class frmAboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder with a blank in its name, as an installed program's may have.
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath("Tavrel 2")));
        context.AppFolder = m_dir.filePath("Tavrel 2") + QLatin1Char('/');
    }
    QColor linkColour() const { return form.Label4->palette().color(QPalette::WindowText); }
    void moveOver(QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    QTemporaryDir m_dir;
    test::MemorySettingsStore settings;
    test::FakeClock clock;
    test::ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    EmulatedNetWare netware{NetWareSite{}};
    AppContext context{settings, clock, prompts, platform, netware, netware};
    frmAbout form{context};
};

TEST_F(frmAboutTest, DescribesTheProgramInItsOwnWords) {
    EXPECT_EQ(form.Text1->toPlainText(),
              "Tavrel 2.0\n"
              "\n"
              "Tavrel is a powerful file monitoring file utility for Novell file servers. "
              "Discover how many users opened a file, the length of time a user had a file "
              "open,  how many times a user opened a file, the average length of time a user "
              "had a file open, etc. With Tavrel you can also send messages to users, clear "
              "user's connections, unlock locked files, get extended file information, and "
              "run queries against the log database to discover important details about file "
              "usage.");
    EXPECT_TRUE(form.Label3->text().isEmpty());
}

TEST_F(frmAboutTest, LinkTurnsRedUnderThePointerAndBlueOverTheWindow) {
    EXPECT_EQ(linkColour(), QColor(0, 0, 255));
    moveOver(form.Label4);
    EXPECT_EQ(linkColour(), QColor(255, 0, 0));
    moveOver(&form);
    EXPECT_EQ(linkColour(), QColor(0, 0, 255));
}

TEST_F(frmAboutTest, LinkPutsTheFaqInPlaceAndOpensIt) {
    const QString faq = context.AppFolder + "faq.fil";
    form.Label4_Click();
    EXPECT_EQ(form.Label3->text(), "Open file: " + faq);
    EXPECT_EQ(platform.viewed, QStringList{faq});
    QFile supplied(faq);
    ASSERT_TRUE(supplied.open(QIODevice::ReadOnly));
    EXPECT_TRUE(supplied.readAll().contains("tavrelctl"));

    // A FAQ the site has edited stays as it is.
    supplied.close();
    ASSERT_TRUE(supplied.open(QIODevice::WriteOnly | QIODevice::Truncate));
    supplied.write("Call the help desk on 4711.\n");
    supplied.close();
    platform.viewerWorks = false;
    form.Label4_Click();
    ASSERT_TRUE(supplied.open(QIODevice::ReadOnly));
    EXPECT_EQ(supplied.readAll(), "Call the help desk on 4711.\n");
    EXPECT_EQ(form.Label3->text(), "Open file: " + faq);
}

}  // namespace
}  // namespace tavrel
