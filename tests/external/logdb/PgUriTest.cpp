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
        // Only known options, with values that cannot start another keyword.
        UriCase{"postgresql://h/db?application_name=desk_7&connect_timeout=3",
                "h|-1|db||application_name=desk_7;connect_timeout=3"},
        UriCase{"postgresql://h/db?application_name=x%20password=secret", "refused"},
        UriCase{"postgresql://h/db?sslmode=disable%20user=postgres", "refused"},
        UriCase{"postgresql://h/db?application_name=x'y", "refused"},
        UriCase{"postgresql://h/db?application_name=a%0Ab", "refused"},
        UriCase{"postgresql://h/db?service=team", "refused"},
        UriCase{"postgresql://h/db?sslpassword=pw", "refused"},
        UriCase{"/home/ann/tavrel.mdb", "refused"}));

TEST(PgUriRefusalTest, NamesTheOptionAndNeverShowsQtsOwnText) {
    EXPECT_TRUE(parsePostgresUri("postgresql://h/db?service=team")
                    .error.startsWith("The option 'service' cannot be used; the address may hold "
                                      "host, port, user, dbname, application_name,"));
    EXPECT_EQ(parsePostgresUri("postgresql://h:99999999999/db").error,
              "The address is not valid; write it as "
              "postgresql://[user@]host[:port]/database[?option=value&...].");
}

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
