#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

namespace brellan {

// One way out for a limited broadcast: an up, broadcast-capable, non-loopback
// interface with an IPv4 address.
struct BroadcastRoute {
    int interfaceIndex = 0;
    QString interfaceName;
    QHostAddress localAddress;
    QHostAddress directedBroadcast; // e.g. 192.168.1.255 for 192.168.1.7/24
};

// Every interface a limited broadcast should leave through, so a machine on
// two networks reaches the agents of both (left alone, the system sends it
// out of one interface only).
QList<BroadcastRoute> broadcastRoutes();

} // namespace brellan
