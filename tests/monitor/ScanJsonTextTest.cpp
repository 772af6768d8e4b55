#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "monitor/ScanFilesJson.h"
#include "monitor/ScanRecorder.h"
#include "monitor/ScanTexts.h"
#include "support/MemorySettingsStore.h"

namespace tavrel {
namespace {

// scan --json is written straight, as QJsonDocument writes the same document: compared
// here with one built of QJsonObjects, over texts with every kind of character.
TEST(ScanJsonTextTest, WrittenAsQJsonDocumentWritesIt) {
    const QString odd =
        QString::fromUtf16(u"q\"b\\s/\n\t\x01\x1f\x7f \u00e9\u20ac\U0001F600 \xD800!");
    test::MemorySettingsStore settings;
    settings.SaveSetting("Tavrel", "File", "Desc_1", odd);
    ScanHolder detailed{odd,        3,           7, 8, 0x0B, true, {126, 12, 9, 10, 23, 5, 3},
                        InetAddr{}, "Read,Write"};
    detailed.address->connType[0] = 11;
    const ScanHolder bare{"bob", 4, -1, 0, 0x01, false, {}, std::nullopt, std::nullopt};
    ScanFileTable files{{"G:\\A.DBF", {}}, {"G:\\" + odd, {}}};
    files[0].Server = "FS1";
    files[0].Holders = {detailed, bare};
    files[1].Found = false;
    files[1].Error = odd;
    ScanRecorder tree;
    const int root = tree.addNode(0, {}, "Tree", "tree");
    tree.setNodeTag(tree.addNode(root, {}, odd, {}), odd);
    tree.addNode(tree.addNode(root, {}, "F", "file"), {}, "", "user");

    const auto holderJson = [](const ScanHolder& h) {
        const auto words = [](const QString& w) {
            return QJsonArray::fromStringList(w.isEmpty() ? QStringList() : w.split(','));
        };
        const QString login = loginTimeIso(h.loginTime);
        return QJsonObject{
            {"user", h.user},
            {"connection", h.connection},
            {"task", h.task},
            {"openMode", h.lockType == 8 ? "Shareable" : "Exclusive"},
            {"fileRights", words(OpenModeWords(h.accessControl))},
            {"directoryRights", h.directoryRights ? words(*h.directoryRights) : QJsonValue()},
            {"locked", h.locked},
            {"loginTime", login.isEmpty() ? QJsonValue() : login},
            {"networkAddress", h.address ? NetworkAddressText(*h.address) : QJsonValue()}};
    };
    const auto textOrNull = [](const QString& t) { return t.isEmpty() ? QJsonValue() : t; };
    QJsonArray filesJson;
    for (qsizetype k = 0; k < files.size(); ++k) {
        QJsonArray holders;
        for (const ScanHolder& h : files[k].Holders) {
            holders.append(holderJson(h));
        }
        filesJson.append(QJsonObject{
            {"path", files[k].Path},
            {"description", settings.GetSetting("Tavrel", "File", QString("Desc_%1").arg(k + 1))},
            {"server", files[k].Found ? textOrNull(files[k].Server) : QJsonValue()},
            {"found", files[k].Found},
            {"error", textOrNull(files[k].Error)},
            {"holders", holders}});
    }
    const std::function<QJsonObject(int)> node = [&](int i) {
        QJsonArray children;
        for (int child : tree.node(i).children) {
            children.append(node(child));
        }
        return QJsonObject{{"text", tree.node(i).text},
                           {"tag", tree.node(i).tag},
                           {"image", tree.node(i).image},
                           {"children", children}};
    };
    const QJsonObject expected{
        {"status", odd}, {"nodes", QJsonArray{node(root)}}, {"files", filesJson}};

    EXPECT_EQ(scanJsonText(odd, tree, files, settings),
              QJsonDocument(expected).toJson(QJsonDocument::Indented));
}

}  // namespace
}  // namespace tavrel
