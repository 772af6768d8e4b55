#include "mainwindow/TreeOptions.h"

#include <QString>
#include <array>

#include "common/AppTitle.h"
#include "common/SettingsStore.h"

namespace tavrel {

namespace {

const QString kSection = QStringLiteral("Tree");

struct OptionKey {
    const char* key;
    quint8 TreeOptions::*field;
};

// The keys in the order they are read and saved.
constexpr std::array<OptionKey, 8> kKeys = {{
    {"ButTips", &TreeOptions::ButTips},
    {"Pictures", &TreeOptions::Pictures},
    {"PlusMinus", &TreeOptions::PlusMinus},
    {"UserDetails", &TreeOptions::UserDetails},
    {"HotTracking", &TreeOptions::HotTracking},
    {"FullRowSelect", &TreeOptions::FullRowSelect},
    {"ExpandItem", &TreeOptions::ExpandItem},
    {"KeepExpanded", &TreeOptions::KeepExpanded},
}};

}  // namespace

TreeOptions loadTreeOptions(SettingsStore& store) {
    const TreeOptions defaults;
    TreeOptions options;
    for (const OptionKey& k : kKeys) {
        const QString text = store.GetSetting(kAppTitle, kSection, QLatin1String(k.key),
                                              QString::number(defaults.*k.field));
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        options.*k.field = ok && value != 0 ? 1 : 0;
    }
    return options;
}

bool saveTreeOptions(SettingsStore& store, const TreeOptions& options) {
    bool saved = true;
    for (const OptionKey& k : kKeys) {
        const QString value = QString::number(options.*k.field != 0 ? 1 : 0);
        saved = store.SaveSetting(kAppTitle, kSection, QLatin1String(k.key), value) && saved;
    }
    return saved;
}

TreeStyle treeStyleFor(bool pictures, bool plusMinus) {
    if (pictures && plusMinus) {
        return TreeStyle::LinesPlusMinusPictures;
    }
    if (pictures) {
        return TreeStyle::LinesPictures;
    }
    return plusMinus ? TreeStyle::LinesPlusMinus : TreeStyle::Lines;
}

}  // namespace tavrel
