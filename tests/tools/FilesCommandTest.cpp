#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>

#include "common/IniSettingsStore.h"
#include "external/netware/SiteFile.h"
#include "filelist/FileListStore.h"
#include "support/TestEnvironment.h"
#include "support/TestSite.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

const QString kApp = QStringLiteral("Tavrel");

// tavrelctl files (and the text the other commands print), run as separate processes on
// settings and a site of their own.
class FilesCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_environment = test::programEnvironment(m_dir);
        m_site = test::makeTestSite(m_dir.path());
        saveSite();
    }
    void saveSite() { ASSERT_EQ(SiteFile(m_dir.filePath("site.json")).save(m_site), QString()); }
    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, m_environment);
    }
    QString settingsFile() const { return m_dir.filePath("config/Tavrel/Tavrel.ini"); }
    IniSettingsStore settings() const { return IniSettingsStore(m_dir.filePath("config")); }
    QStringList paths() {
        IniSettingsStore store = settings();
        QStringList result;
        for (const FileListEntry& entry : LoadFileList(store)) {
            result.append(entry.path);
        }
        return result;
    }
    // Runs the commands each lane gives, one after the other within a lane and the lanes
    // side by side; the messages of every call that did not exit 0.
    QStringList runLanes(const std::vector<std::function<QStringList(int)>>& lanes, int calls) {
        struct Lane {
            QProcess process;
            int started = 0;
            int finished = 0;
        };
        std::vector<Lane> running(lanes.size());
        QStringList failures;
        const auto startNext = [&](size_t i) {
            running[i].process.setProcessEnvironment(m_environment);
            running[i].process.start(QStringLiteral(TAVRELCTL_PATH),
                                     lanes[i](running[i].started++));
        };
        for (size_t i = 0; i < lanes.size(); ++i) {
            startNext(i);
        }
        QElapsedTimer elapsed;
        elapsed.start();
        bool busy = true;
        while (busy && elapsed.elapsed() < 240000) {
            busy = false;
            for (size_t i = 0; i < lanes.size(); ++i) {
                Lane& lane = running[i];
                if (lane.finished == calls) {
                    continue;
                }
                busy = true;
                if (!lane.process.waitForFinished(5)) {
                    continue;
                }
                ++lane.finished;
                if (lane.process.exitStatus() != QProcess::NormalExit ||
                    lane.process.exitCode() != 0) {
                    failures.append(QString::fromUtf8(lane.process.readAllStandardError()));
                }
                if (lane.started < calls) {
                    startNext(i);
                }
            }
        }
        EXPECT_FALSE(busy) << "the lanes did not finish in time";
        return failures;
    }

    QTemporaryDir m_dir;
    NetWareSite m_site;
    QProcessEnvironment m_environment;
};

TEST_F(FilesCommandTest, UnreadableSettingsAreReportedAndLeftAsTheyAre) {
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
    };
    const auto write = [](const QByteArray& bytes) {
        return [bytes](const QString& path) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
    };
    const Case cases[] = {
        {"garbage", write(QByteArray("\xff\xfe\x00\x01garbage\x02", 10))},
        {"a broken line", write("[File]\nFile_1=G:\\\\APPS\\\\ORDERS.DBF\nthis line is broken\n")},
        {"a folder", [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); }},
        {"no permission",
         [&](const QString& path) {
             write("[File]\nFile_1=G:\\\\APPS\\\\ORDERS.DBF\n")(path);
             QFile::setPermissions(path, QFileDevice::WriteOwner);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(m_dir.filePath("config")).removeRecursively();
        QDir().mkpath(m_dir.filePath("config/Tavrel"));
        c.make(settingsFile());
        QFile probe(settingsFile());
        if (QFileInfo(settingsFile()).isFile() && probe.open(QIODevice::ReadOnly) &&
            QByteArray(c.name) == "no permission") {
            continue;  // the superuser reads it all the same
        }
        const auto snapshot = [&] {
            QFile file(settingsFile());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
        };
        const QByteArray before = snapshot();
        const QStringList commands[] = {{"files", "list"},
                                        {"files", "add", "G:\\APPS\\ORDERS.DBF", "Orders"},
                                        {"files", "delete", "1"},
                                        {"scan"}};
        for (const QStringList& command : commands) {
            const test::CommandRun r = run(command);
            EXPECT_EQ(r.exitCode, 2) << command.join(' ').toStdString();
            EXPECT_EQ(r.out, QString());
            EXPECT_TRUE(r.err.contains(QStringLiteral("The settings file ") + settingsFile() +
                                       QStringLiteral(" cannot be read.")))
                << r.err.toStdString();
        }
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(QFileInfo(settingsFile()).isDir(), QByteArray(c.name) == "a folder");
    }
}

TEST_F(FilesCommandTest, ControlCharactersAreRefusedInADescriptionAndShownEscaped) {
    test::CommandRun r = run({"files", "add", "G:\\APPS\\ORDERS.DBF", "Orders\nfile"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(
        QLatin1String("Unable to save. A description cannot hold control characters")))
        << r.err.toStdString();
    EXPECT_EQ(run({"files", "list"}).out, QString());

    // Written by an older version, or by hand: shown escaped, one record a line.
    test::touchFile(m_dir.filePath("fs1sys/APPS/tab\there.dbf"));
    IniSettingsStore store = settings();
    store.SaveSetting(kApp, "File", "File_1", "G:\\APPS\\tab\there.dbf");
    store.SaveSetting(kApp, "File", "Desc_1", "red \x1b[31m\nline");
    EXPECT_EQ(run({"files", "list"}).out,
              QStringLiteral("1\tG:\\APPS\\tab\\there.dbf\tred \\x1b[31m\\nline\n"));

    m_site.servers[0].objects[1].name = QStringLiteral("AL\x1b]0;X\aICE\r");  // ALICE
    m_site.servers[0].openFiles.append(
        {3, QStringLiteral("SYS:APPS\\tab\there.dbf"), 1, 0, 1, false});
    saveSite();
    r = run({"scan", "--no-details"});
    EXPECT_TRUE(
        r.out.startsWith(QStringLiteral("Tree\n  G:\\APPS\\tab\\there.dbf[1]\n"
                                        "    AL\\x1b]0;X\\x07ICE\\r\n")))
        << r.out.toStdString();
    r = run({"scan", "--json", "--no-details"});
    EXPECT_TRUE(r.out.contains(QLatin1String("AL\\u001b]0;X\\u0007ICE\\r"))) << r.out.toStdString();
    r = run({"site", "show"});
    EXPECT_TRUE(r.out.contains(QLatin1String("AL\\x1b]0;X\\x07ICE\\r"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("SYS:APPS\\tab\\there.dbf"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QLatin1Char('\x1b')));
}

// "files add -": a line a file, each refused with its line number and reason, the good
// ones written and printed as the list prints them.
TEST_F(FilesCommandTest, AddFromStandardInputTakesTheGoodLines) {
    test::touchFile(m_dir.filePath("fs1sys/APPS/STOCK.DBF"));
    ASSERT_EQ(run({"files", "add", "G:\\APPS\\CUSTOMER.DBF", "Customers"}).exitCode, 0);
    const QByteArray input =
        "G:\\APPS\\ORDERS.DBF\tSales orders\r\n"
        "\n"
        "G:\\APPS\\MISSING.DBF\tgone\n"
        "g:\\apps\\customer.dbf\n"
        "D:\\\tlocal\n"
        "G:\\APPS\\STOCK.DBF\ttab\there\n"
        "G:\\APPS\\STOCK.DBF\t\xff\xfe\n"
        "G:/APPS/orders.dbf\tagain\n"
        "  G:\\APPS\\STOCK.DBF\tStock  ";
    const test::CommandRun r = test::runTavrelctl({"files", "add", "-"}, m_environment, input);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QStringLiteral("2\tG:\\APPS\\ORDERS.DBF\tSales orders\n"
                                    "3\tG:\\APPS\\STOCK.DBF\tStock\n"));
    EXPECT_EQ(r.err.split('\n'),
              (QStringList{
                  "tavrelctl files add: line 3: Unable to save. No file G:\\APPS\\MISSING.DBF "
                  "exists on drive G:.",
                  "tavrelctl files add: line 4: Unable to save. This item already exists.",
                  "tavrelctl files add: line 5: Invalid file! File must reside on file server.",
                  "tavrelctl files add: line 6: Unable to save. A description cannot hold control "
                  "characters (tabs, line breaks, escape codes).",
                  "tavrelctl files add: line 7: not UTF-8 text",
                  "tavrelctl files add: line 8: Unable to save. This item already exists.", ""}));
    EXPECT_EQ(paths(), (QStringList{"G:\\APPS\\CUSTOMER.DBF", "G:\\APPS\\ORDERS.DBF",
                                    "G:\\APPS\\STOCK.DBF"}));

    const test::CommandRun none = test::runTavrelctl({"files", "add", "-"}, m_environment, "\n");
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out + none.err, QString());
}

// Two programs adding at once: each add numbers its entry under the list's lock against
// the list as it then is, so none is lost.
TEST_F(FilesCommandTest, ConcurrentAddsKeepEveryEntry) {
    constexpr int kAddsPerLane = 100;
    for (int i = 0; i < 2 * kAddsPerLane; ++i) {
        test::touchFile(m_dir.filePath(QStringLiteral("fs1sys/APPS/F%1.DBF").arg(i)));
    }
    const auto adder = [](int lane) {
        return [lane](int call) {
            return QStringList{"files", "add",
                               QStringLiteral("G:\\APPS\\F%1.DBF").arg(lane * kAddsPerLane + call),
                               QStringLiteral("lane %1").arg(lane)};
        };
    };
    const QStringList failures = runLanes({adder(0), adder(1)}, kAddsPerLane);
    EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();
    const QStringList listed = paths();
    QStringList expected;
    for (int i = 0; i < 2 * kAddsPerLane; ++i) {
        expected.append(QStringLiteral("G:\\APPS\\F%1.DBF").arg(i));
    }
    for (const QString& path : listed) {
        expected.removeOne(path);
    }
    EXPECT_EQ(expected.join(' ').toStdString(), "");  // none lost
    EXPECT_EQ(listed.size(), 2 * kAddsPerLane);       // none twice
}

// Deleting the first entry over and over while another program adds: the survivors are
// the undeleted old entries and every new one, numbered without a gap, none twice.
TEST_F(FilesCommandTest, DeletesRacingAddsKeepTheSurvivorsContiguousAndUnique) {
    constexpr int kOld = 60;
    constexpr int kCalls = 40;
    IniSettingsStore store = settings();
    QStringList old;
    for (int i = 0; i < kOld; ++i) {
        old.append(QStringLiteral("G:\\APPS\\OLD%1.DBF").arg(i));
        ASSERT_TRUE(SaveFileEntry(store, i + 1, old.last(), QStringLiteral("old %1").arg(i)));
    }
    for (int i = 0; i < kCalls; ++i) {
        test::touchFile(m_dir.filePath(QStringLiteral("fs1sys/APPS/NEW%1.DBF").arg(i)));
    }
    const QStringList failures = runLanes(
        {[](int) {
             return QStringList{"files", "delete", "1"};
         },
         [](int call) {
             return QStringList{"files", "add", QStringLiteral("G:\\APPS\\NEW%1.DBF").arg(call),
                                QStringLiteral("new %1").arg(call)};
         }},
        kCalls);
    EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();

    QStringList expected;
    for (int i = kCalls; i < kOld; ++i) {
        expected.append(QStringLiteral("%1 old %2").arg(old.at(i)).arg(i));
    }
    for (int i = 0; i < kCalls; ++i) {
        expected.append(QStringLiteral("G:\\APPS\\NEW%1.DBF new %1").arg(i));
    }
    QStringList listed;
    const QList<FileListEntry> entries = LoadFileList(store);
    for (const FileListEntry& entry : entries) {
        listed.append(entry.path + QLatin1Char(' ') + fileDescription(store, entry.number));
    }
    EXPECT_EQ(listed.join('\n').toStdString(), expected.join('\n').toStdString());
    QSettings raw(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(raw.childGroups(), QStringList{"File"});
    EXPECT_EQ(raw.allKeys().size(), 2 * entries.size());
}

}  // namespace
}  // namespace tavrel
