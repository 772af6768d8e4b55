#pragma once

#include <QString>
#include <memory>

namespace tavrel {

class EmulatedNetWare;

// Whether a site file names a Samba server ("backend": "samba") rather than an emulated site.
bool isSambaSiteFile(const QString& sitePath);

// The client a site file asks for: a SambaNetWare for a Samba site file (one that cannot be
// read as such fails NWCallsInit with the reason), else the emulated site of the file.
// A Samba client keeps its connection numbers in stateFolder (beside the usage log), so that
// every process of the site names a session alike; without one, in the process only.
std::unique_ptr<EmulatedNetWare> openSiteClient(const QString& sitePath,
                                                const QString& stateFolder = QString());

}  // namespace tavrel
