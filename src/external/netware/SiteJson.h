#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "external/netware/NetWareSite.h"

namespace tavrel {

// A site read from its JSON text, or why it could not be: where (line and column for
// bad JSON, the entry such as servers[0].connections[2].number otherwise) and what is
// wrong.
struct SiteParse {
    std::optional<NetWareSite> site;
    QString error;
};

// Reads and checks a site file's text. Unknown keys are refused, so a misspelt key is
// reported rather than ignored (and writing the site back loses nothing).
SiteParse parseSiteJson(const QByteArray& json);

// The site as JSON text, keys in a fixed readable order, short entries on one line.
QByteArray siteToJson(const NetWareSite& site);

// Checks what JSON types cannot: names unique and well formed, every reference (drive
// server and volume, connection object, open file connection and volume ...) pointing
// at something that exists. "" when the site is sound.
QString checkSite(const NetWareSite& site);

// An IPv4 address in dotted form (10.1.2.3) as a connection's address; none when the
// text is not one.
std::optional<SiteAddress> ipv4SiteAddress(const QString& text);

}  // namespace tavrel
