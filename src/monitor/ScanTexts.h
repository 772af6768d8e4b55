#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "external/netware/NetWareCodes.h"
#include "external/netware/NetWareRecords.h"

namespace tavrel {

// The texts a scan writes into the tree.

// The message of a failed connection scan, shown in the file node as "[Error : ...]".
QString ScanErrorText(NWCCODE rc);
// The open mode words of an access-control byte, e.g. "Read,Deny Read" for 0x05.
QString OpenModeWords(quint8 accessControl);
// A login time as "Monday, 6/9/03, 08:05 am".
QString LoginTimeText(const LoginTime& loginTime);
// The texts of login times, each worked out once: a scan's holders share the login times
// of a few sessions.
class LoginTimeTexts {
public:
    explicit LoginTimeTexts(QString (*text)(const LoginTime&)) : m_text(text) {}
    const QString& text(const LoginTime& loginTime);

private:
    QString (*m_text)(const LoginTime&);
    QHash<quint64, QString> m_known;
};
// "IP:10.1.2.3", or "IPX:0000ABCD:00A0C91E2F30:4003" (and "AFP:"/"" prefixes) in hex.
QString NetworkAddressText(const InetAddr& address);
// The status line after a completed scan: "Idle — 4 files, 7 users" ("Idle" first, as
// every other time the window is at rest).
QString scanSummaryText(int files, int users);
// A status text with the problems that stand after it, each in parentheses:
// "Idle (Samba server not read: ...)".
QString withProblems(const QString& text, const QStringList& problems);
// The trustee rights words of a rights mask, e.g. "Read,Write,FileScan".
QString RightsToText(quint16 mask);

}  // namespace tavrel
