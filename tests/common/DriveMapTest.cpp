#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/DriveMap.h"
#include "common/Module1.h"

namespace tavrel {
namespace {

class DriveMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        touch(QStringLiteral("sys/apps/orders.dbf"));
        touch(QStringLiteral("sys/apps/Empty.txt"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/sys/apps/Folder"));
        touch(QStringLiteral("local/Readme.TXT"));

        MappedDrive g;
        g.letter = QLatin1Char('G');
        g.type = DriveType::Remote;
        g.server = QStringLiteral("FS1");
        g.volume = QStringLiteral("SYS");
        g.localRoot = m_dir.path() + QStringLiteral("/sys");
        MappedDrive d;
        d.letter = QLatin1Char('D');
        d.type = DriveType::Fixed;
        d.localRoot = m_dir.path() + QStringLiteral("/local");
        MappedDrive e;
        e.letter = QLatin1Char('E');
        e.type = DriveType::CdRom;
        m_map.setDrives({DriveMap::localRootDrive(), d, e, g});
    }

    void touch(const QString& relative) {
        const QString path = m_dir.path() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir m_dir;
    DriveMap m_map;
};

TEST_F(DriveMapTest, NetworkDriveFindsFilesWithoutRegardToCase) {
    const std::optional<QString> local = m_map.localPath(QStringLiteral("G:\\APPS\\ORDERS.DBF"));
    ASSERT_TRUE(local);
    EXPECT_EQ(*local, m_dir.path() + QStringLiteral("/sys/apps/orders.dbf"));
    EXPECT_TRUE(FileExists(m_map, QStringLiteral("g:\\Apps\\Orders.Dbf")));
    EXPECT_TRUE(FileExists(m_map, QStringLiteral("G:/apps/EMPTY.TXT")));  // length 0 exists
}

TEST_F(DriveMapTest, FileExistsTable) {
    struct Case {
        const char* path;
        bool exists;
    };
    const Case cases[] = {
        {"G:\\APPS\\MISSING.DBF", false},
        {"G:\\APPS\\FOLDER", false},  // a folder is not a file
        {"G:\\apps\\Folder", false},  // nor when spelt as on disk
        {"G:\\apps\\orders.dbf", true},
        {"G:\\APPS", false},
        {"Q:\\APPS\\ORDERS.DBF", false},           // letter not mapped
        {"E:\\SETUP.EXE", false},                  // drive with no folder behind it
        {"G:\\..\\sys\\apps\\orders.dbf", false},  // never above the drive's root
        {"G:\\APPS\\..\\APPS\\.\\ORDERS.DBF", true},
        {"D:\\Readme.TXT", true},
        {"D:\\README.TXT", false},  // a fixed drive keeps the file system's case
        {"APPS\\ORDERS.DBF", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileExists(m_map, QString::fromLatin1(c.path)), c.exists) << c.path;
    }
}

TEST_F(DriveMapTest, DriveTypesOfRoots) {
    EXPECT_EQ(m_map.driveType(QStringLiteral("G:\\")), DriveType::Remote);
    EXPECT_EQ(m_map.driveType(QStringLiteral("c:\\")), DriveType::Fixed);
    EXPECT_EQ(m_map.driveType(QStringLiteral("E:\\")), DriveType::CdRom);
    EXPECT_EQ(m_map.driveType(QStringLiteral("Z:\\")), DriveType::NoRootDir);
    EXPECT_EQ(m_map.driveType(QString()), DriveType::NoRootDir);
}

TEST_F(DriveMapTest, DosPathOfALocalFolderUsesTheClosestFixedDrive) {
    EXPECT_EQ(m_map.dosPath(QStringLiteral("/opt/tavrel/bin")),
              QStringLiteral("C:\\opt\\tavrel\\bin"));
    EXPECT_EQ(m_map.dosPath(QStringLiteral("/")), QStringLiteral("C:\\"));
    EXPECT_EQ(m_map.dosPath(m_dir.path() + QStringLiteral("/local/sub/")),
              QStringLiteral("D:\\sub"));
    EXPECT_EQ(m_map.dosPath(QStringLiteral("relative/folder")), QString());
}

TEST(splitDosPath, LetterUpperCasedAndComponentsSplitOnEitherSeparator) {
    QChar letter;
    QStringList parts;
    ASSERT_TRUE(splitDosPath(QStringLiteral("g:\\APPS/Data\\\\X.DBF"), &letter, &parts));
    EXPECT_EQ(letter, QLatin1Char('G'));
    EXPECT_EQ(parts, QStringList({"APPS", "Data", "X.DBF"}));
    ASSERT_TRUE(splitDosPath(QStringLiteral("G:\\"), &letter, &parts));
    EXPECT_TRUE(parts.isEmpty());
    EXPECT_FALSE(splitDosPath(QStringLiteral("1:\\X"), &letter, &parts));
    EXPECT_FALSE(splitDosPath(QStringLiteral("G"), &letter, &parts));
}

}  // namespace
}  // namespace tavrel
