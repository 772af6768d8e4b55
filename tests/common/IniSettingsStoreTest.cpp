#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/IniSettingsStore.h"

namespace tavrel {
namespace {

const QString kApp = QStringLiteral("Tavrel");

class IniSettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
};

TEST_F(IniSettingsStoreTest, MissingKeyReadsAsTheDefaultAndValuesRoundTripAsText) {
    IniSettingsStore store(m_dir.path());
    EXPECT_EQ(store.GetSetting(kApp, "Tree", "ButTips", "1"), QStringLiteral("1"));
    EXPECT_EQ(store.GetSetting(kApp, "Tree", "ButTips"), QString());

    const QStringList values = {
        "0",           "G:\\APPS\\ORDERS.DBF", "Orders, daily; \"main\" file",
        "@Variant(x)", "  padded  ",           "M\xC3\xBCller"};
    for (const QString& value : values) {
        ASSERT_TRUE(store.SaveSetting(kApp, "File", "Desc_1", value));
        EXPECT_EQ(IniSettingsStore(m_dir.path()).GetSetting(kApp, "File", "Desc_1"), value);
    }
    EXPECT_TRUE(QFile::exists(m_dir.path() + "/Tavrel/Tavrel.ini"));
}

TEST_F(IniSettingsStoreTest, DeleteRemovesTheKeyAndMissingKeysAreIgnored) {
    IniSettingsStore store(m_dir.path());
    ASSERT_TRUE(store.SaveSetting(kApp, "File", "File_1", "G:\\A.DBF"));
    EXPECT_TRUE(store.DeleteSetting(kApp, "File", "File_1"));
    EXPECT_TRUE(store.DeleteSetting(kApp, "File", "File_9"));
    EXPECT_EQ(store.GetSetting(kApp, "File", "File_1", "none"), QStringLiteral("none"));
}

TEST_F(IniSettingsStoreTest, AChangeByAnotherWriterIsSeenAtTheNextRead) {
    IniSettingsStore program(m_dir.path());
    IniSettingsStore other(m_dir.path());
    EXPECT_EQ(program.GetSetting(kApp, "File", "File_1"), QString());
    ASSERT_TRUE(other.SaveSetting(kApp, "File", "File_1", "G:\\NEW.DBF"));
    EXPECT_EQ(program.GetSetting(kApp, "File", "File_1"), QStringLiteral("G:\\NEW.DBF"));
}

TEST_F(IniSettingsStoreTest, HandWrittenListValueReadsAsItsText) {
    QDir().mkpath(m_dir.path() + "/Tavrel");
    QFile file(m_dir.path() + "/Tavrel/Tavrel.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[File]\nDesc_1=Orders, daily\n");
    file.close();
    EXPECT_EQ(IniSettingsStore(m_dir.path()).GetSetting(kApp, "File", "Desc_1"),
              QStringLiteral("Orders,daily"));
}

TEST_F(IniSettingsStoreTest, UnwritableFolderFailsTheWriteWithoutCrashing) {
    // A plain file where the settings folder should be makes every write fail.
    QFile blocker(m_dir.path() + "/Tavrel");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    IniSettingsStore store(m_dir.path());
    EXPECT_FALSE(store.SaveSetting(kApp, "Tree", "Pictures", "1"));
    EXPECT_FALSE(store.SaveSettings(kApp, "File", {{"Desc_1", "a"}, {"File_1", "G:\\A"}}));
    EXPECT_FALSE(store.SaveSetting(kApp, "Tree", "Pictures", "1"));
    // The failed writes are not kept for a later write to carry out; removing a key that
    // is not there has nothing to write.
    EXPECT_TRUE(store.DeleteSetting(kApp, "Tree", "Pictures"));
    EXPECT_EQ(store.GetSetting(kApp, "Tree", "Pictures", "d"), QStringLiteral("d"));
}

TEST_F(IniSettingsStoreTest, AFailedWriteIsNotCarriedOutByALaterOne) {
    IniSettingsStore store(m_dir.path());
    ASSERT_TRUE(store.SaveSetting(kApp, "File", "File_1", "G:\\A.DBF"));
    const QString folder = m_dir.path() + "/Tavrel";
    QFile::rename(folder, folder + ".away");
    QFile blocker(folder);  // a plain file where the folder was: writes fail
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(store.SaveSettings(kApp, "File", {{"Desc_2", "b"}, {"File_2", "G:\\B.DBF"}}));
    QFile::remove(folder);
    QFile::rename(folder + ".away", folder);
    ASSERT_TRUE(store.SaveSetting(kApp, "Tree", "Pictures", "0"));
    IniSettingsStore fresh(m_dir.path());
    EXPECT_EQ(fresh.GetSetting(kApp, "File", "File_1"), QStringLiteral("G:\\A.DBF"));
    EXPECT_EQ(fresh.GetSetting(kApp, "File", "File_2", "none"), QStringLiteral("none"));
}

TEST_F(IniSettingsStoreTest, CorruptFileIsNeverWrittenOver) {
    QDir().mkpath(m_dir.path() + "/Tavrel");
    const QString path = m_dir.path() + "/Tavrel/Tavrel.ini";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const char raw[] = "[File]\nFile_1=G:\\A.DBF\n[Tree\n\xff\xfe\x00garbage=\"unterminated\n";
    const QByteArray corrupt(raw, sizeof(raw) - 1);
    file.write(corrupt);
    file.close();

    IniSettingsStore store(m_dir.path());
    (void)store.GetSetting(kApp, "File", "File_1");  // must not crash
    if (store.SaveSetting(kApp, "Tree", "Pictures", "0")) {
        // Qt could read the file after all: then what it held must still be there.
        EXPECT_EQ(IniSettingsStore(m_dir.path()).GetSetting(kApp, "File", "File_1"),
                  QStringLiteral("G:\\A.DBF"));
    } else {
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), corrupt);
    }
}

}  // namespace
}  // namespace tavrel
