#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileEditorRules.h"
#include "filelist/FileListStore.h"
#include "filelist/FilePicker.h"
#include "support/MemorySettingsStore.h"
#include "support/TestSite.h"

namespace tavrel::test {
namespace {

TEST(FileEditorRulesTest, CountsWithoutGroupingAndSizesWithGrouping) {
    EXPECT_EQ(fileCountText(0), "");
    EXPECT_EQ(fileCountText(1), "1 file");
    EXPECT_EQ(fileCountText(12), "12 files");
    EXPECT_EQ(fileCountText(1000), "1000 files");
    EXPECT_EQ(groupedByteCount(0), "0");
    EXPECT_EQ(groupedByteCount(999), "999");
    EXPECT_EQ(groupedByteCount(1000), "1,000");
    EXPECT_EQ(groupedByteCount(1234567), "1,234,567");
    EXPECT_EQ(pickedFileText(QDateTime(QDate(2003, 6, 9), QTime(8, 5, 30)), 123456),
              "6/9/2003 8:05:30 AM  123,456");
}

TEST(FileEditorRulesTest, PathsAndFolders) {
    EXPECT_EQ(GetFile("G:\\APPS\\ORDERS.DBF"), "ORDERS.DBF");
    EXPECT_EQ(GetFile("ORDERS.DBF"), "ORDERS.DBF");
    EXPECT_EQ(folderOfPath("G:\\APPS\\ORDERS.DBF"), "G:\\APPS");
    EXPECT_EQ(folderOfPath("G:\\ORDERS.DBF"), "G:\\");
    EXPECT_EQ(folderWithSeparator("G:\\"), "G:\\");
    EXPECT_EQ(folderWithSeparator("G:\\APPS"), "G:\\APPS\\");
}

TEST(FileEditorRulesTest, APatternIsKeptOnceInAnyCase) {
    QStringList patterns{"*.*"};
    EXPECT_TRUE(rememberPattern(patterns, "*.dbf"));
    EXPECT_FALSE(rememberPattern(patterns, "*.DBF"));
    EXPECT_FALSE(rememberPattern(patterns, ""));
    EXPECT_EQ(patterns, QStringList({"*.*", "*.dbf"}));
}

TEST(FileEditorRulesTest, OnlyServerDrivesCanBeSaved) {
    EXPECT_FALSE(canSaveFileEntry("Orders", true, DriveType::Fixed));
    EXPECT_FALSE(canSaveFileEntry("Orders", true, DriveType::Removable));
    EXPECT_FALSE(canSaveFileEntry("Orders", true, DriveType::CdRom));
    EXPECT_FALSE(canSaveFileEntry("   ", true, DriveType::Remote));
    EXPECT_FALSE(canSaveFileEntry("Orders", false, DriveType::Remote));
    EXPECT_TRUE(canSaveFileEntry("Orders", true, DriveType::Remote));
    EXPECT_TRUE(canSaveFileEntry("Orders", true, DriveType::RamDisk));
    EXPECT_TRUE(canSaveFileEntry("Orders", true, DriveType::Unknown));
}

struct PatternCase {
    const char* name;
    const char* pattern;
    bool matches;
};

class FilePatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(FilePatternTest, MatchesAsTheDesktopDoes) {
    const PatternCase& c = GetParam();
    EXPECT_EQ(matchesFilePattern(c.name, c.pattern), c.matches) << c.name << " " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(Patterns, FilePatternTest,
                         ::testing::Values(PatternCase{"ORDERS.DBF", "*.*", true},
                                           PatternCase{"README", "*.*", true},
                                           PatternCase{"orders.dbf", "*.DBF", true},
                                           PatternCase{"ORDERS.DBF.BAK", "*.DBF", false},
                                           PatternCase{"ORDERS.DBF", "ORD?RS.*", true},
                                           PatternCase{"ORDRS.DBF", "ORD?RS.*", false},
                                           PatternCase{"LEDGER.DAT", "*.dbf;*.dat", true},
                                           PatternCase{"a[1].txt", "a[1].*", true},
                                           PatternCase{"ORDERS.DBF", "..\\*.*", false}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

class EditorOnTestSite : public ::testing::Test {
protected:
    EditorOnTestSite() {
        touchFile(root.path() + "/fs1sys/APPS/.hidden");
        netware = std::make_unique<EmulatedNetWare>(makeTestSite(root.path()));
    }
    QTemporaryDir root;
    std::unique_ptr<EmulatedNetWare> netware;
};

TEST_F(EditorOnTestSite, BrowsesAServerVolumeInItsOwnSpelling) {
    FilePicker picker(*netware);
    ASSERT_TRUE(picker.setFolder("g:\\apps"));
    EXPECT_EQ(picker.folder(), "G:\\APPS");
    EXPECT_EQ(picker.driveType(), DriveType::Remote);
    EXPECT_EQ(picker.subfolders(), QStringList({"SUB"}));
    EXPECT_EQ(picker.files("*.*"), QStringList({"CUSTOMER.DBF", "orders.dbf"}));
    EXPECT_EQ(picker.files("o*"), QStringList({"orders.dbf"}));
    EXPECT_FALSE(picker.setFolder("G:\\NOWHERE"));
    EXPECT_EQ(picker.folder(), "G:\\APPS");
    ASSERT_TRUE(picker.setDrive('D'));
    EXPECT_EQ(picker.folder(), "D:\\");
    EXPECT_EQ(picker.driveType(), DriveType::Fixed);
    EXPECT_FALSE(picker.setDrive('Q'));
    EXPECT_EQ(FilePicker::driveEntry(*netware->drive('H')), "h: [\\\\FS1\\SYS\\APPS]");
    EXPECT_EQ(FilePicker::driveEntry(*netware->drive('D')), "d:");
}

TEST_F(EditorOnTestSite, AnEditChecksTheEntryItChangesStillHoldsItsPath) {
    MemorySettingsStore store;
    SaveFileEntry(store, 1, "G:\\APPS\\ORDERS.DBF", "Orders");
    SaveFileEntry(store, 2, "G:\\APPS\\CUSTOMER.DBF", "Customers");
    const auto edit = [&](const QString& stored, const QString& path) {
        return editMonitoredFile(store, *netware, 2, stored, path, " Changed ");
    };
    EXPECT_EQ(edit("G:\\APPS\\CUSTOMER.DBF", "g:\\apps\\orders.dbf"), AddFileResult::Duplicate);
    EXPECT_EQ(edit("G:\\APPS\\CUSTOMER.DBF", "G:\\APPS\\CUSTOMER.DBF"), AddFileResult::Saved);
    EXPECT_EQ(fileDescription(store, 2), "Changed");
    // The entry now holds another path: nothing is written.
    DeleteFileEntry(store, 1);
    const QStringList before = store.keys();
    EXPECT_EQ(edit("G:\\APPS\\CUSTOMER.DBF", "G:\\APPS\\CUSTOMER.DBF"), std::nullopt);
    EXPECT_EQ(store.keys(), before);
    EXPECT_EQ(fileEntryPath(store, 1), "G:\\APPS\\CUSTOMER.DBF");
}

}  // namespace
}  // namespace tavrel::test
