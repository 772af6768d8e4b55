#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "external/netware/SiteFile.h"
#include "support/TestEnvironment.h"
#include "support/TestSite.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

// tavrelctl info on the test site, ORDERS.DBF carrying a record of its own.
class InfoCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_environment = test::programEnvironment(m_dir);
        NetWareSite site = test::makeTestSite(m_dir.path());
        SiteFileRecord orders;
        orders.path = "SYS:APPS\\ORDERS.DBF";
        orders.attributes = 0x21;
        orders.owner = test::kAlice;
        orders.created = QDateTime(QDate(2003, 6, 9), QTime(8, 5, 30));
        orders.modified = QDateTime(QDate(2026, 12, 8), QTime(9, 0, 0));
        orders.accessed = QDate(2026, 12, 8);
        site.servers[0].files = {orders};
        ASSERT_EQ(SiteFile(m_dir.filePath("site.json")).save(site), QString());
    }
    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, m_environment);
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
};

TEST_F(InfoCommandTest, PrintsTheCopyTextOrEveryFieldAsJson) {
    test::CommandRun r = run({"info", "G:\\APPS\\ORDERS.DBF"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              "Full Path:  FS1\\SYS:APPS\\ORDERS.DBF\n"
              "Path:  G:\\APPS\\ORDERS.DBF\n"
              "Created:  6/9/2003,8:5:30\n"
              "Owner:  ALICE.SALES.ACME\n"
              "Last Access:  12/8/2026,0:0:0\n"
              "Last Archived:  ?\n"
              "Last Arch. By:  ?\n"
              "Last Modified:  12/8/2026,9:0:0\n"
              "Last Modif. By:  ?\n"
              "\n"
              "Attributes\n"
              "\n"
              "ReadOnly\n"
              "Archive\n");

    r = run({"info", "G:\\APPS\\ORDERS.DBF", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(json["created"].toString(), "2003-06-09T08:05:30");
    EXPECT_EQ(json["lastAccess"].toString(), "2026-12-08");
    EXPECT_TRUE(json["lastArchived"].isNull());
    EXPECT_EQ(json["owner"].toString(), "ALICE.SALES.ACME");
    EXPECT_EQ(json["attributes"].toArray(), QJsonArray({"ReadOnly", "Archive"}));
    EXPECT_EQ(json["size"].toDouble(), 1.0);
}

TEST_F(InfoCommandTest, ARecordThatCannotBeReadSaysWhy) {
    struct Case {
        QStringList args;
        int exitCode;
        QString err;
    };
    const Case cases[] = {
        {{"info", "G:\\APPS\\GONE.DBF"},
         1,
         "tavrelctl info: Error! File GONE.DBF does not exist.\n"},
        {{"info"}, 2, "tavrelctl info: a path is needed\n"},
        {{"info", "G:\\A", "G:\\B"}, 2, "tavrelctl info: one path only\n"},
        {{"info", "G:\\A", "--xml"}, 2, "tavrelctl info: unknown option --xml\n"},
    };
    for (const Case& c : cases) {
        const test::CommandRun r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

}  // namespace
}  // namespace tavrel
