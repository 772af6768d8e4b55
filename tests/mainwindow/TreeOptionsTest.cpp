#include <gtest/gtest.h>

#include "mainwindow/TreeOptions.h"
#include "support/MemorySettingsStore.h"

namespace tavrel {
namespace {

const QString kApp = QStringLiteral("Tavrel");
const QString kSection = QStringLiteral("Tree");

// Keeps the order of the writes.
class WriteLog : public test::MemorySettingsStore {
public:
    bool SaveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override {
        writes.append(section + "/" + key + "=" + value);
        return test::MemorySettingsStore::SaveSetting(app, section, key, value);
    }
    QStringList writes;
};

TEST(TreeOptions, AnEmptyStoreGivesTheDefaults) {
    test::MemorySettingsStore store;
    const TreeOptions options = loadTreeOptions(store);
    EXPECT_EQ(options.ButTips, 1);
    EXPECT_EQ(options.Pictures, 1);
    EXPECT_EQ(options.PlusMinus, 1);
    EXPECT_EQ(options.UserDetails, 1);
    EXPECT_EQ(options.HotTracking, 0);
    EXPECT_EQ(options.FullRowSelect, 0);
    EXPECT_EQ(options.ExpandItem, 0);
}

TEST(TreeOptions, StoredValuesAreReadAndDamagedOnesCountAsOff) {
    test::MemorySettingsStore store;
    const auto set = [&](const char* key, const char* value) {
        store.SaveSetting(kApp, kSection, key, value);
    };
    set("ButTips", "0");
    set("Pictures", "yes");  // not a number
    set("PlusMinus", "");    // not a number
    set("UserDetails", " 0 ");
    set("HotTracking", "1");
    set("FullRowSelect", "-1");  // any other number is on
    set("ExpandItem", "2");
    const TreeOptions options = loadTreeOptions(store);
    EXPECT_EQ(options.ButTips, 0);
    EXPECT_EQ(options.Pictures, 0);
    EXPECT_EQ(options.PlusMinus, 0);
    EXPECT_EQ(options.UserDetails, 0);
    EXPECT_EQ(options.HotTracking, 1);
    EXPECT_EQ(options.FullRowSelect, 1);
    EXPECT_EQ(options.ExpandItem, 1);
}

TEST(TreeOptions, SavesTheKeysInOrder) {
    WriteLog store;
    TreeOptions options;
    options.ButTips = 0;
    options.HotTracking = 1;
    options.KeepExpanded = 1;
    EXPECT_TRUE(saveTreeOptions(store, options));
    EXPECT_EQ(store.writes,
              QStringList({"Tree/ButTips=0", "Tree/Pictures=1", "Tree/PlusMinus=1",
                           "Tree/UserDetails=1", "Tree/HotTracking=1", "Tree/FullRowSelect=0",
                           "Tree/ExpandItem=0", "Tree/KeepExpanded=1"}));
    EXPECT_EQ(loadTreeOptions(store), options);
}

TEST(TreeOptions, AFailedWriteIsReported) {
    test::MemorySettingsStore store;
    store.setFailWrites(true);
    EXPECT_FALSE(saveTreeOptions(store, TreeOptions()));
}

TEST(TreeStyle, FollowsPicturesAndPlusMinus) {
    EXPECT_EQ(int(treeStyleFor(true, true)), 7);
    EXPECT_EQ(int(treeStyleFor(true, false)), 5);
    EXPECT_EQ(int(treeStyleFor(false, true)), 6);
    EXPECT_EQ(int(treeStyleFor(false, false)), 4);
    for (bool pictures : {false, true}) {
        for (bool plusMinus : {false, true}) {
            const TreeStyle style = treeStyleFor(pictures, plusMinus);
            EXPECT_EQ(styleShowsPictures(style), pictures);
            EXPECT_EQ(styleShowsPlusMinus(style), plusMinus);
        }
    }
}

}  // namespace
}  // namespace tavrel
