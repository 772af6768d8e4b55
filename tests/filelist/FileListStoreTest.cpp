#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <functional>
#include <limits>

#include "common/DriveMap.h"
#include "common/IniSettingsStore.h"
#include "filelist/FileListLock.h"
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

// The list is read a batch of numbers at a time: one longer than a batch reads whole, and a
// gap right after a batch still ends it.
TEST_F(FileListStoreTest, ListsLongerThanOneReadAreReadWhole) {
    QList<SettingChange> changes;
    for (int n = 1; n <= 600; ++n) {
        changes.append({QStringLiteral("File_%1").arg(n), path(n)});
        changes.append({QStringLiteral("Desc_%1").arg(n), QStringLiteral("Desc %1").arg(n)});
    }
    ASSERT_TRUE(m_store.SaveSettings(kApp, kSection, changes));
    const QList<FileListEntry> entries = LoadFileList(m_store);
    ASSERT_EQ(entries.size(), 600);
    EXPECT_EQ(entries.last().number, 600);
    EXPECT_EQ(entries.last().path, path(600));
    EXPECT_EQ(fileDescriptions(m_store, 600).value(299), QStringLiteral("Desc 300"));
    m_store.SaveSetting(kApp, kSection, "File_257", "");
    EXPECT_EQ(LoadFileList(m_store).size(), 256);
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

TEST_F(FileListStoreTest, TheListLockKeepsOthersOutAndNestsWithinOneProgram) {
    const QString lockPath = m_store.location(kApp) + QStringLiteral(".list.lock");
    {
        const FileListLock outer(m_store);
        ASSERT_TRUE(outer.isLocked());
        EXPECT_EQ(outer.path(), lockPath);
        EXPECT_TRUE(FileListLock(m_store, 0).isLocked());
        EXPECT_TRUE(SaveFileEntry(m_store, 1, path(1), QString()));  // takes it again inside
        EXPECT_TRUE(QFile::exists(lockPath));
    }
    EXPECT_FALSE(QFile::exists(lockPath));

    QLockFile other(lockPath);  // another program holding the list
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_FALSE(FileListLock(m_store, 50).isLocked());
    other.unlock();
    EXPECT_TRUE(FileListLock(m_store, 0).isLocked());
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

// The list as it reads, descriptions included: "n path|description" per entry.
QStringList listed(SettingsStore& store) {
    QStringList result;
    for (const FileListEntry& e : LoadFileList(store)) {
        result.append(
            QStringLiteral("%1 %2|%3").arg(e.number).arg(e.path, fileDescription(store, e.number)));
    }
    return result;
}

void fillMemory(test::MemorySettingsStore& store, int count) {
    for (int n = 1; n <= count; ++n) {
        store.SaveSetting(kApp, kSection, QStringLiteral("File_%1").arg(n),
                          QStringLiteral("G:\\F%1").arg(n));
        store.SaveSetting(kApp, kSection, QStringLiteral("Desc_%1").arg(n),
                          QStringLiteral("d%1").arg(n));
    }
}

struct PartWay {
    bool onlyThatWrite;  // false: every write from the k-th on fails
    bool atomicBatches;  // a change of several keys is one write, as in the INI file
    int deleted;         // of four entries
};

class FailingPartWay : public ::testing::TestWithParam<PartWay> {};

// Whichever write fails, a delete or a save leaves the list as it was or as it should
// become; never an entry twice or a path without its description.
TEST_P(FailingPartWay, DeleteAndSaveLeaveTheOldListOrTheNew) {
    const PartWay param = GetParam();
    const auto run = [&](const std::function<bool(SettingsStore&)>& change) {
        test::MemorySettingsStore reference;
        fillMemory(reference, 4);
        const QStringList before = listed(reference);
        ASSERT_TRUE(change(reference));
        const QStringList after = listed(reference);
        for (int k = 1;; ++k) {
            test::MemorySettingsStore store;
            fillMemory(store, 4);
            store.setAtomicBatches(param.atomicBatches);
            const QMap<QString, QString> untouched = store.values();
            store.failWrites(k, param.onlyThatWrite ? k : std::numeric_limits<int>::max());
            const bool ok = change(store);
            if (store.writes() < k) {
                EXPECT_TRUE(ok);
                EXPECT_EQ(listed(store), after);
                break;
            }
            EXPECT_FALSE(ok) << "write " << k;
            EXPECT_EQ(listed(store), before) << "write " << k;
            EXPECT_EQ(store.values(), untouched) << "write " << k;
        }
    };
    run([&](SettingsStore& s) { return DeleteFileEntry(s, param.deleted); });
    run([](SettingsStore& s) { return SaveFileEntry(s, 5, "G:\\NEW", "new"); });
    run([](SettingsStore& s) { return SaveFileEntry(s, 2, "G:\\CHANGED", "changed"); });
}

// Written key by key, only a failure that passes lets the written keys be put back; a
// store that keeps failing must write the change at once.
INSTANTIATE_TEST_SUITE_P(EachWrite, FailingPartWay,
                         ::testing::Values(PartWay{true, false, 1}, PartWay{true, false, 2},
                                           PartWay{true, false, 4}, PartWay{false, true, 1},
                                           PartWay{false, true, 3}),
                         [](const ::testing::TestParamInfo<PartWay>& info) {
                             return std::string(info.param.onlyThatWrite ? "Once" : "FromThenOn") +
                                    (info.param.atomicBatches ? "AtOnce" : "KeyByKey") +
                                    "Deleting" + std::to_string(info.param.deleted);
                         });

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
        for (const char* name :
             {"net/apps/ORDERS.DBF", "net/apps/Stock.dbf", "net/apps/CUSTOMER.DBF", "net/A.DBF",
              "net/B.DBF", "local/notes.txt", "cd/SETUP.DBF", "stick/COPY.DBF"}) {
            const QString path = m_dir.path() + QLatin1Char('/') + QLatin1String(name);
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        MappedDrive g{QLatin1Char('G'), DriveType::Remote, "FS1", "SYS", "", m_dir.path() + "/net"};
        MappedDrive d{QLatin1Char('D'), DriveType::Fixed, "", "", "", m_dir.path() + "/local"};
        MappedDrive e{QLatin1Char('E'), DriveType::CdRom, "", "", "", m_dir.path() + "/cd"};
        MappedDrive f{QLatin1Char('F'), DriveType::Removable, "", "", "", m_dir.path() + "/stick"};
        m_drives.setDrives({g, d, e, f});
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
        {"G:\\APPS\\MISSING.DBF", AddFileResult::NoSuchFile},
        {"D:\\notes.txt", AddFileResult::NotOnFileServer},
        {"E:\\SETUP.DBF", AddFileResult::NotOnFileServer},
        {"F:\\COPY.DBF", AddFileResult::NotOnFileServer},
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

TEST_F(AddMonitoredFileTest, OtherSpellingsOfAListedPathAreDuplicates) {
    ASSERT_EQ(addMonitoredFile(m_store, m_drives, "G:/APPS//Stock.dbf", "Stock"),
              AddFileResult::Saved);
    EXPECT_EQ(LoadFileList(m_store).value(0).path, QStringLiteral("G:\\APPS\\Stock.dbf"));
    ASSERT_EQ(addMonitoredFile(m_store, m_drives, "G:\\APPS\\ORDERS.DBF", "x"),
              AddFileResult::Saved);
    const QStringList before = m_store.keys();
    for (const char* path :
         {"G:/APPS/ORDERS.DBF", "g:\\apps\\.\\orders.dbf", "G:\\APPS\\SUB\\..\\ORDERS.DBF",
          "G:\\\\APPS\\\\ORDERS.DBF", "G:\\.\\APPS\\STOCK.DBF"}) {
        EXPECT_EQ(addMonitoredFile(m_store, m_drives, QString::fromLatin1(path), "x"),
                  AddFileResult::Duplicate)
            << path;
    }
    EXPECT_EQ(m_store.keys(), before);
    // An entry written by hand in another spelling still counts.
    m_store.SaveSetting(kApp, kSection, "File_2", "G:/APPS/./ORDERS.DBF");
    EXPECT_TRUE(FindDuplicatePath(m_store, "G:\\APPS\\ORDERS.DBF", 3));
}

TEST_F(AddMonitoredFileTest, ControlCharactersInADescriptionAreRefused) {
    for (const char* description : {"Orders\nfile", "a\tb", "\x1b[31mred", "bell\a"}) {
        EXPECT_NE(addMonitoredFile(m_store, m_drives, "G:\\APPS\\ORDERS.DBF",
                                   QString::fromLatin1(description)),
                  AddFileResult::Saved)
            << description;
    }
    EXPECT_TRUE(m_store.keys().isEmpty());
    EXPECT_EQ(addMonitoredFile(m_store, m_drives, "G:\\APPS\\ORDERS.DBF", "Orders \u00e9 file"),
              AddFileResult::Saved);
}

// One lock and one write for many files: each refused for its own reason, a path given
// twice refused the second time, the rest numbered on from the list's end.
TEST_F(AddMonitoredFileTest, ManyFilesAtOnce) {
    ASSERT_EQ(addMonitoredFile(m_store, m_drives, "G:\\APPS\\ORDERS.DBF", "Orders"),
              AddFileResult::Saved);
    const QList<FileToAdd> files = {{"G:\\APPS\\STOCK.DBF", "Stock"},
                                    {"g:\\apps\\orders.dbf", ""},
                                    {"G:\\APPS\\MISSING.DBF", ""},
                                    {"G:/APPS/Stock.dbf", "again"},
                                    {"G:\\APPS\\SUB\\..\\CUSTOMER.DBF", "a\tb"},
                                    {"G:\\APPS\\CUSTOMER.DBF", "Customers"}};
    const auto outcome = [](const QList<AddedFile>& added) {
        QStringList words;
        for (const AddedFile& file : added) {
            words.append(QString::number(int(file.result)) + '/' + QString::number(file.number));
        }
        return words.join(' ');
    };
    m_store.setFailWrites(true);
    EXPECT_EQ(outcome(addMonitoredFiles(m_store, m_drives, files)), "3/0 2/0 6/0 2/0 4/0 3/0");
    EXPECT_EQ(LoadFileList(m_store).size(), 1);
    m_store.setFailWrites(false);
    EXPECT_EQ(outcome(addMonitoredFiles(m_store, m_drives, files)), "0/2 2/0 6/0 2/0 4/0 0/3");
    EXPECT_EQ(fileEntryPath(m_store, 3), QStringLiteral("G:\\APPS\\CUSTOMER.DBF"));
    EXPECT_EQ(fileDescription(m_store, 2), QStringLiteral("Stock"));

    // The list holds at most 32767 files.
    QList<SettingChange> full;
    for (int n = 4; n <= 32766; ++n) {
        full.append({QStringLiteral("File_%1").arg(n), QStringLiteral("G:\\F%1").arg(n)});
    }
    ASSERT_TRUE(m_store.SaveSettings(kApp, kSection, full));
    EXPECT_EQ(outcome(addMonitoredFiles(m_store, m_drives, {{"G:\\A.DBF", ""}, {"G:\\B.DBF", ""}})),
              "0/32767 7/0");
}

TEST(addFileMessage, TheEditorsOwnWords) {
    EXPECT_EQ(addFileMessage(AddFileResult::NotOnFileServer),
              QStringLiteral("Invalid file! File must reside on file server."));
    EXPECT_EQ(addFileMessage(AddFileResult::Duplicate),
              QStringLiteral("Unable to save. This item already exists."));
    EXPECT_EQ(addFileMessage(AddFileResult::Saved), QString());
    EXPECT_EQ(addFileMessage(AddFileResult::NoSuchFile, "G:\\APPS\\X.DBF"),
              QStringLiteral("Unable to save. No file G:\\APPS\\X.DBF exists on drive G:."));
}

}  // namespace
}  // namespace tavrel
