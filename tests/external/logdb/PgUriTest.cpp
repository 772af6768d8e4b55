#include <gtest/gtest.h>

#include "external/logdb/PgUri.h"
#include "monitor/LogLocation.h"
#include "support/MemorySettingsStore.h"

namespace tavrel {
namespace {

struct UriCase {
    const char* uri;
    // host|port|database|user|options joined by ';', or "refused"
    const char* parts;
};

class PgUriTest : public ::testing::TestWithParam<UriCase> {};

TEST_P(PgUriTest, GivesTheDriversPartsOrRefuses) {
    const PgUriParse parsed = parsePostgresUri(QString::fromUtf8(GetParam().uri));
    if (!parsed.parts) {
        EXPECT_STREQ(GetParam().parts, "refused");
        EXPECT_FALSE(parsed.error.isEmpty());
        return;
    }
    const PgConnectionParts& parts = *parsed.parts;
    EXPECT_EQ(QStringLiteral("%1|%2|%3|%4|%5")
                  .arg(parts.host)
                  .arg(parts.port)
                  .arg(parts.database, parts.user, parts.options.join(QLatin1Char(';'))),
              QString::fromUtf8(GetParam().parts));
}

INSTANTIATE_TEST_SUITE_P(
    Uris, PgUriTest,
    ::testing::Values(
        UriCase{"postgresql://tavrel@dbhost/tavrel", "dbhost|-1|tavrel|tavrel|"},
        UriCase{"postgres://ann@10.0.0.5:5433/log", "10.0.0.5|5433|log|ann|"},
        UriCase{"postgresql://", "|-1|||"},
        UriCase{"postgresql:///team?host=/run/postgresql", "/run/postgresql|-1|team||"},
        UriCase{"POSTGRESQL://a%40b@[::1]:6000/my%20log?sslmode=require",
                "::1|6000|my log|a@b|sslmode=require"},
        UriCase{"postgresql://h/db?user=bob&port=7000&dbname=other", "h|7000|other|bob|"},
        UriCase{"postgresql://bob:secret@h/db", "refused"},
        UriCase{"postgresql://h/db?password=secret", "refused"},
        UriCase{"postgresql://h/db?port=abc", "refused"}, UriCase{"postgresql://h:0/db", "refused"},
        UriCase{"postgresql://h/db/more", "refused"},
        UriCase{"postgresql://h/db?options=a;b", "refused"}, UriCase{"mysql://h/db", "refused"},
        UriCase{"/home/ann/tavrel.mdb", "refused"}));

TEST(LogLocationTest, TheSettingChoosesTheLogAndRefusesWhatCannotBeUsed) {
    test::MemorySettingsStore settings;
    const QString folder = QStringLiteral("/opt/tavrel/");
    EXPECT_EQ(loglocation::current(settings, folder), QStringLiteral("/opt/tavrel/tavrel.mdb"));
    EXPECT_EQ(loglocation::set(settings, QStringLiteral("postgresql://tavrel@dbhost/tavrel")),
              QString());
    EXPECT_EQ(loglocation::current(settings, folder),
              QStringLiteral("postgresql://tavrel@dbhost/tavrel"));
    // A password is never stored: the shared log stays as it was.
    EXPECT_FALSE(
        loglocation::set(settings, QStringLiteral("postgresql://tavrel:pw@h/t")).isEmpty());
    EXPECT_EQ(loglocation::current(settings, folder),
              QStringLiteral("postgresql://tavrel@dbhost/tavrel"));
    EXPECT_EQ(loglocation::set(settings, QStringLiteral("default")), QString());
    EXPECT_EQ(loglocation::current(settings, folder), QStringLiteral("/opt/tavrel/tavrel.mdb"));
}

}  // namespace
}  // namespace tavrel
