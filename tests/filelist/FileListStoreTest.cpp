#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/DriveMap.h"
#include "common/IniSettingsStore.h"
#include "filelist/FileListStore.h"
#include "support/MemorySettingsStore.h"

namespace tavrel {
namespace {

const QString kApp = QStringLiteral("Tavrel");
const QString kSection = QStringLiteral("File");

class FileListStoreTest : public ::testing::Test {
protected:
    void fill(int count) {
        for (int n = 1; n <= count; ++n) {
            ASSERT_TRUE(SaveFileEntry(m_store, n, path(n), QStringLiteral("Desc %1").arg(n)));
        }
    }
    static QString path(int n) { return QStringLiteral("G:\\DATA\\F%1.DBF").arg(n); }
    QStringList paths() {
        QStringList result;
        for (const FileListEntry& e : LoadFileList(m_store)) {
            result.append(e.path);
        }
        return result;
    }
    QString raw(const QString& key) { return m_store.GetSetting(kApp, kSection, key, "<none>"); }

    QTemporaryDir m_dir;
    IniSettingsStore m_store{m_dir.path()};
};

TEST_F(FileListStoreTest, EmptyStoreIsAnEmptyListAndTheFirstEntryIsNumberOne) {
    EXPECT_TRUE(LoadFileList(m_store).isEmpty());
    EXPECT_EQ(fileListCount(m_store), 0);
    EXPECT_FALSE(SaveFileEntry(m_store, 2, path(2), QString()));
    ASSERT_TRUE(SaveFileEntry(m_store, 1, path(1), QStringLiteral("Orders")));
    EXPECT_EQ(raw("File_1"), path(1));
    EXPECT_EQ(raw("Desc_1"), QStringLiteral("Orders"));
    EXPECT_EQ(fileDescription(m_store, 1), QStringLiteral("Orders"));
    EXPECT_EQ(fileDescription(m_store, 5), QString());
}

TEST_F(FileListStoreTest, AGapEndsTheList) {
    m_store.SaveSetting(kApp, kSection, "File_1", path(1));
    m_store.SaveSetting(kApp, kSection, "File_3", path(3));
    EXPECT_EQ(paths(), QStringList({path(1)}));
    m_store.SaveSetting(kApp, kSection, "File_2", "");
    EXPECT_EQ(fileListCount(m_store), 1);
}

TEST_F(FileListStoreTest, TwoDigitNumbersBehaveLikeTheOthers) {
    fill(12);
    const QList<FileListEntry> entries = LoadFileList(m_store);
    ASSERT_EQ(entries.size(), 12);
    EXPECT_EQ(entries[10].number, 11);
    EXPECT_EQ(entries[10].path, path(11));
    EXPECT_EQ(raw("File_10"), path(10));
    ASSERT_TRUE(DeleteFileEntry(m_store, 10));
    EXPECT_EQ(raw("File_10"), path(11));
    EXPECT_EQ(raw("File_12"), QStringLiteral("<none>"));
}

struct DeleteCase {
    int count;
    int deleted;
};

class DeleteFileEntryTest : public FileListStoreTest,
                            public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteFileEntryTest, LaterEntriesMoveDownAndTheLastKeysGo) {
    const auto [count, deleted] = GetParam();
    fill(count);
    ASSERT_TRUE(DeleteFileEntry(m_store, deleted));

    QStringList expected;
    for (int n = 1; n <= count; ++n) {
        if (n != deleted) {
            expected.append(path(n));
        }
    }
    EXPECT_EQ(paths(), expected);
    for (int n = 1; n < count; ++n) {
        const int from = n < deleted ? n : n + 1;
        EXPECT_EQ(raw(QStringLiteral("Desc_%1").arg(n)), QStringLiteral("Desc %1").arg(from));
    }
    EXPECT_EQ(raw(QStringLiteral("File_%1").arg(count)), QStringLiteral("<none>"));
    EXPECT_EQ(raw(QStringLiteral("Desc_%1").arg(count)), QStringLiteral("<none>"));
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLastOnly, DeleteFileEntryTest,
                         ::testing::Values(DeleteCase{3, 1}, DeleteCase{3, 2}, DeleteCase{3, 3},
                                           DeleteCase{1, 1}));

TEST_F(FileListStoreTest, DeleteTakesTheCountFromTheStoreNotFromTheCaller) {
    // A stopped scan shows fewer file nodes than entries; the store still knows them all.
    fill(5);
    ASSERT_TRUE(DeleteFileEntry(m_store, 2));
    EXPECT_EQ(paths(), QStringList({path(1), path(3), path(4), path(5)}));
}

TEST_F(FileListStoreTest, NumbersOutsideTheListAreRefused) {
    fill(3);
    for (int bad : {0, -1, 4, 40}) {
        EXPECT_FALSE(DeleteFileEntry(m_store, bad)) << bad;
    }
    EXPECT_FALSE(SaveFileEntry(m_store, 5, path(5), QString()));  // would sit after a gap
    EXPECT_FALSE(SaveFileEntry(m_store, 0, path(9), QString()));
    EXPECT_FALSE(SaveFileEntry(m_store, 2, QString(), QString()));  // an empty path ends the list
    EXPECT_EQ(paths(), QStringList({path(1), path(2), path(3)}));
    EXPECT_TRUE(SaveFileEntry(m_store, 4, path(4), QString()));
}

TEST_F(FileListStoreTest, DuplicatesCompareWithoutRegardToCase) {
    fill(3);
    const QString other = QStringLiteral("g:\\data\\f1.dbf");
    EXPECT_TRUE(FindDuplicatePath(m_store, other, 4));   // adding
    EXPECT_TRUE(FindDuplicatePath(m_store, other, 3));   // editing entry 3 to entry 1's path
    EXPECT_FALSE(FindDuplicatePath(m_store, other, 1));  // entry 1 keeping its own path
    EXPECT_FALSE(FindDuplicatePath(m_store, QStringLiteral("G:\\DATA\\NEW.DBF"), 4));
}

TEST_F(FileListStoreTest, EditingOverwritesTheEntrysOwnNumber) {
    fill(3);
    ASSERT_TRUE(SaveFileEntry(m_store, 3, path(3), QStringLiteral("Changed")));
    EXPECT_EQ(raw("Desc_3"), QStringLiteral("Changed"));
    EXPECT_EQ(fileListCount(m_store), 3);
}

TEST(FileListStoreFailures, FailedWritesAreReportedAndDeleteKeepsTheLastEntry) {
    test::MemorySettingsStore store;
    ASSERT_TRUE(SaveFileEntry(store, 1, "G:\\A", "a"));
    ASSERT_TRUE(SaveFileEntry(store, 2, "G:\\B", "b"));
    store.setFailWrites(true);
    EXPECT_FALSE(SaveFileEntry(store, 3, "G:\\C", "c"));
    EXPECT_FALSE(DeleteFileEntry(store, 1));
    EXPECT_EQ(fileListCount(store), 2);
}

TEST(editorDescription, CutTo55ThenTrimmed) {
    EXPECT_EQ(editorDescription(QStringLiteral("  Orders  ")), QStringLiteral("Orders"));
    EXPECT_EQ(editorDescription(QString(60, QLatin1Char('x'))).size(), 55);
    EXPECT_EQ(editorDescription(QStringLiteral("   ") + QString(60, QLatin1Char('y'))).size(), 52);
    EXPECT_EQ(editorDescription(QStringLiteral("    ")), QString());
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

class AddMonitoredFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"net/apps/ORDERS.DBF", "net/apps/Stock.dbf", "local/notes.txt"}) {
            const QString path = m_dir.path() + QLatin1Char('/') + QLatin1String(name);
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        MappedDrive g{QLatin1Char('G'), DriveType::Remote, "FS1", "SYS", "", m_dir.path() + "/net"};
        MappedDrive d{QLatin1Char('D'), DriveType::Fixed, "", "", "", m_dir.path() + "/local"};
        m_drives.setDrives({g, d});
    }

    QTemporaryDir m_dir;
    DriveMap m_drives;
    test::MemorySettingsStore m_store;
};

TEST_F(AddMonitoredFileTest, RefusalsWriteNothing) {
    const QString longText = QStringLiteral("  ") + QString(70, QLatin1Char('d'));
    ASSERT_EQ(addMonitoredFile(m_store, m_drives, "G:\\APPS\\ORDERS.DBF", longText),
              AddFileResult::Saved);
    EXPECT_EQ(fileDescription(m_store, 1), QString(53, QLatin1Char('d')));

    const std::pair<const char*, AddFileResult> refused[] = {
        {"g:\\apps\\orders.dbf", AddFileResult::Duplicate},
        {"G:\\APPS\\MISSING.DBF", AddFileResult::NotOnFileServer},
        {"D:\\notes.txt", AddFileResult::NotOnFileServer},
        {"Q:\\APPS\\ORDERS.DBF", AddFileResult::NotOnFileServer},
        {"not a path", AddFileResult::NotOnFileServer},
    };
    const QStringList before = m_store.keys();
    for (const auto& [path, result] : refused) {
        EXPECT_EQ(addMonitoredFile(m_store, m_drives, QString::fromLatin1(path), "x"), result)
            << path;
    }
    EXPECT_EQ(m_store.keys(), before);
    m_store.setFailWrites(true);
    EXPECT_EQ(addMonitoredFile(m_store, m_drives, "G:\\APPS\\STOCK.DBF", "x"),
              AddFileResult::WriteFailed);
    EXPECT_EQ(m_store.keys(), before);
}

TEST(addFileMessage, TheEditorsOwnWords) {
    EXPECT_EQ(addFileMessage(AddFileResult::NotOnFileServer),
              QStringLiteral("Invalid file! File must reside on file server."));
    EXPECT_EQ(addFileMessage(AddFileResult::Duplicate),
              QStringLiteral("Unable to save. This item already exists."));
    EXPECT_EQ(addFileMessage(AddFileResult::Saved), QString());
}

}  // namespace
}  // namespace tavrel
