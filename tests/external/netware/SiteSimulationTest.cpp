#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "external/netware/SiteJson.h"
#include "external/netware/SiteSimulation.h"
#include "support/TestSite.h"

namespace tavrel {
namespace {

TEST(SiteSimulation, RepeatsForASeedAndKeepsTheSiteSound) {
    QTemporaryDir dir;
    NetWareSite start = test::makeTestSite(dir.path());
    start.folder = dir.path();
    const QDateTime now(QDate(2026, 12, 9), QTime(10, 30), Qt::UTC);

    const auto run = [&](quint32 seed, NetWareSite* site) {
        SiteSimulation simulation(seed);
        QStringList steps;
        for (int i = 0; i < 300; ++i) {
            steps.append(simulation.step(*site, now));
            EXPECT_EQ(checkSite(*site), QString()) << "after " << steps.last().toStdString();
        }
        return steps;
    };
    NetWareSite first = start;
    NetWareSite second = start;
    const QStringList steps = run(7, &first);
    EXPECT_EQ(run(7, &second), steps);
    EXPECT_EQ(first, second);
    EXPECT_NE(run(8, &second), steps);

    // Every kind of change happens, and the number of open files stays near its mark.
    for (const char* kind : {" opens ", " closes ", " locks ", " logs in ", " logs out"}) {
        EXPECT_FALSE(steps.filter(QLatin1String(kind)).isEmpty()) << kind;
    }
    int opens = 0;
    int connections = 0;
    for (const SiteServer& server : first.servers) {
        opens += int(server.openFiles.size());
        connections += int(server.connections.size());
    }
    EXPECT_GT(opens, 0);
    EXPECT_LE(opens, 2 * connections + 2);
    // The workstation's own connections and what they hold are left alone.
    const auto ownOpens = [&](const NetWareSite& site) {
        QList<SiteOpenFile> opens;
        for (const SiteWorkstationConnection& own : start.workstation) {
            for (const SiteServer& server : site.servers) {
                if (server.name == own.server) {
                    EXPECT_TRUE(std::any_of(
                        server.connections.begin(), server.connections.end(),
                        [&](const SiteConnection& c) { return c.number == own.number; }));
                    for (const SiteOpenFile& open : server.openFiles) {
                        if (open.connection == own.number) {
                            opens.append(open);
                        }
                    }
                }
            }
        }
        return opens;
    };
    EXPECT_EQ(ownOpens(first), ownOpens(start));
}

}  // namespace
}  // namespace tavrel
