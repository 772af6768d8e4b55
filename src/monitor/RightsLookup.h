#pragma once

#include <QString>

namespace tavrel {

class NetWareClient;

// The trustee rights words of the user's last explicit trustee assignment on the volume
// that holds path, in the server's enumeration order; "" when there is none. path names
// the file on its server (FS1\SYS:APPS\ORDERS.DBF) so that the lookup asks the server
// that holds it, not the default server that also has a volume of that name.
QString GetDirectoryRights(NetWareClient& netware, const QString& path, const QString& user);

}  // namespace tavrel
