#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <array>

#include "common/AppFolder.h"
#include "common/Module1.h"
#include "common/TimeText.h"

namespace tavrel {
namespace {

struct TimeCase {
    int hour;
    int minute;
    const char* text;
};

class TimeTextTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTextTest, TwelveHourClockWithLowerCaseSuffix) {
    const TimeCase& c = GetParam();
    const QString text = timeText(QTime(c.hour, c.minute, 59));
    EXPECT_EQ(text, QString::fromLatin1(c.text));
    EXPECT_EQ(text.size(), 8);
}

INSTANTIATE_TEST_SUITE_P(Times, TimeTextTest,
                         ::testing::Values(TimeCase{0, 0, "12:00 am"}, TimeCase{0, 1, "12:01 am"},
                                           TimeCase{9, 5, "09:05 am"}, TimeCase{11, 59, "11:59 am"},
                                           TimeCase{12, 0, "12:00 pm"},
                                           TimeCase{13, 40, "01:40 pm"},
                                           TimeCase{23, 59, "11:59 pm"}));

TEST(MomentText, MonthDayFourDigitYearThenTime) {
    EXPECT_EQ(momentText(QDateTime(QDate(2026, 12, 8), QTime(16, 35))),
              QStringLiteral("12/08/2026 04:35 pm"));
    EXPECT_EQ(momentText(QDateTime(QDate(2003, 6, 9), QTime(0, 5))),
              QStringLiteral("06/09/2003 12:05 am"));
}

TEST(StripAtNul, CutsAtTheFirstNulOnly) {
    EXPECT_EQ(StripAtNul(QStringLiteral("SYS")), QStringLiteral("SYS"));
    EXPECT_EQ(StripAtNul(QString::fromLatin1("SYS\0\0junk", 9)), QStringLiteral("SYS"));
    EXPECT_EQ(StripAtNul(QString::fromLatin1("\0SYS", 4)), QString());
    EXPECT_EQ(StripAtNul(QString()), QString());
}

TEST(ByteBuffers, StringToBytesThenBackStopsAtTheNul) {
    std::array<quint8, 16> buffer{};
    buffer.fill(0xAA);
    EXPECT_EQ(StringToBytes(QString::fromLatin1("[Root]\0", 7), buffer), 7);
    EXPECT_EQ(BytesToString(buffer), QStringLiteral("[Root]"));
    EXPECT_EQ(buffer[7], 0xAA);  // nothing written past the text
}

TEST(ByteBuffers, ReadsToTheEndWhenThereIsNoNul) {
    const std::array<quint8, 3> buffer{'A', 'B', 'C'};
    EXPECT_EQ(BytesToString(buffer), QStringLiteral("ABC"));
    EXPECT_EQ(BytesToString(QByteArray("\xC4X\0Y", 4)), QString::fromUtf8("\xC3\x84X"));
}

TEST(ByteBuffers, StringToBytesNeverWritesPastTheBuffer) {
    std::array<quint8, 8> storage{};
    storage.fill(0x55);
    const std::span<quint8> buffer(storage.data(), 4);
    EXPECT_EQ(StringToBytes(QStringLiteral("ABCDEFGH"), buffer), 4);
    EXPECT_EQ(storage[3], 'D');
    EXPECT_EQ(storage[4], 0x55);
}

TEST(AppFolder, EndsInExactlyOneSeparator) {
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("//")), QStringLiteral("/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/opt/tavrel/bin")),
              QStringLiteral("/opt/tavrel/bin/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/opt/tavrel/bin/")),
              QStringLiteral("/opt/tavrel/bin/"));
}

class AppFolderResolution : public ::testing::Test {
protected:
    void SetUp() override { m_saved = qgetenv("TAVREL_HOME"); }
    void TearDown() override { qputenv("TAVREL_HOME", m_saved); }
    QByteArray m_saved;
    QTemporaryDir m_dir;
};

TEST_F(AppFolderResolution, TavrelHomeOverridesAndIsCreated) {
    const QString home = m_dir.path() + QStringLiteral("/portable");
    qputenv("TAVREL_HOME", QFile::encodeName(home));
    EXPECT_EQ(resolveAppFolder(QStringLiteral("/usr/bin")), home + QLatin1Char('/'));
    EXPECT_TRUE(QDir(home).exists());
}

TEST_F(AppFolderResolution, WritableProgramFolderIsUsed) {
    qunsetenv("TAVREL_HOME");
    EXPECT_EQ(resolveAppFolder(m_dir.path()), m_dir.path() + QLatin1Char('/'));
}

TEST_F(AppFolderResolution, UnusableOrInstalledProgramFolderFallsBackToTheUserDataFolder) {
    qunsetenv("TAVREL_HOME");
    // An installed layout is writable here (as /usr/bin is for root) and still not used.
    QDir(m_dir.path()).mkpath(QStringLiteral("usr/bin"));
    QDir(m_dir.path()).mkpath(QStringLiteral("usr/share/tavrel"));
    for (const QString& program :
         {m_dir.path() + QStringLiteral("/not-there"), m_dir.path() + QStringLiteral("/usr/bin")}) {
        const QString folder = resolveAppFolder(program);
        EXPECT_EQ(folder, qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Tavrel/"));
        EXPECT_TRUE(QDir(folder).exists());
    }
}

}  // namespace
}  // namespace tavrel
