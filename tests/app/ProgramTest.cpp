#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "common/IniSettingsStore.h"
#include "external/netware/SiteFile.h"
#include "filelist/FileListStore.h"
#include "monitor/LogWriterLock.h"
#include "support/TestEnvironment.h"
#include "support/TestSite.h"

namespace tavrel {
namespace {

// The desktop program started on a site, settings and program folder of its own.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_environment = test::programEnvironment(m_dir);
        ASSERT_EQ(SiteFile(m_dir.filePath("site.json")).save(test::makeTestSite(m_dir.path())),
                  QString());
    }
    void start(const QStringList& args) {
        m_process.setProcessEnvironment(m_environment);
        m_process.start(QStringLiteral(TAVREL_PATH), args);
        ASSERT_TRUE(m_process.waitForStarted());
    }
    bool finished() {
        if (m_process.waitForFinished(60000)) {
            return true;
        }
        m_process.kill();
        m_process.waitForFinished();
        return false;
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    QProcess m_process;
};

TEST_F(ProgramTest, WithoutADisplayItSaysSoAndEnds) {
    m_environment.remove("DISPLAY");
    m_environment.remove("WAYLAND_DISPLAY");
    m_environment.insert("QT_QPA_PLATFORM", "xcb");
    start({});
    ASSERT_TRUE(finished());
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);  // no abort, no core dump
    EXPECT_EQ(m_process.exitCode(), 1);
    const QString err = QString::fromUtf8(m_process.readAllStandardError());
    EXPECT_TRUE(err.startsWith("Tavrel cannot start: no display was found.")) << err.toStdString();
    EXPECT_TRUE(err.contains("xvfb-run")) << err.toStdString();
}

class ProgramSignalTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramSignalTest, EndsThroughTheUnloadWithoutTheQuestion) {
    m_environment.insert("QT_QPA_PLATFORM", "offscreen");
    IniSettingsStore settings(m_dir.filePath("config"));
    ASSERT_TRUE(SaveFileEntry(settings, 1, "G:\\APPS\\ORDERS.DBF", "Orders"));
    // With "-d" auto scan runs and the usage log is held: the exit question would be asked.
    start({"-d"});
    const QString lock = LogWriterLock::pathFor(m_dir.filePath("app/tavrel.mdb"));
    for (int i = 0; i < 300 && !QFile::exists(lock); ++i) {
        QThread::msleep(50);
    }
    ASSERT_TRUE(QFile::exists(lock));
    ::kill(pid_t(m_process.processId()), GetParam());
    ASSERT_TRUE(finished());
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(lock));
    EXPECT_EQ(settings.GetSetting("Tavrel", "Tree", "ButTips", "none"), "1");
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

}  // namespace
}  // namespace tavrel
