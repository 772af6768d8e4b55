#pragma once

#include <QDateTime>
#include <QString>
#include <random>

#include "external/netware/NetWareSite.h"

namespace tavrel {

// The users of a site at work: each step logs a user in or out, opens or closes one of
// the volumes' real files, or locks or unlocks an open one, at random but repeatably for
// a seed. It keeps a few files open per connection, so a scan always has something to
// show, and never touches the workstation's own connections.
class SiteSimulation {
public:
    explicit SiteSimulation(quint32 seed) : m_random(seed) {}

    // Makes one change and says what it was, or "" when the site offers nothing to do
    // (no volume files, no users).
    QString step(NetWareSite& site, const QDateTime& now);

private:
    int below(int count);

    std::mt19937 m_random;
};

}  // namespace tavrel
