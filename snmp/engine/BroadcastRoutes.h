// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <set>

namespace brellan {

// One way out for a limited broadcast: an up, broadcast-capable, non-loopback
// interface with an IPv4 address.
struct BroadcastRoute {
    int interfaceIndex = 0;
    QString interfaceName;
};

// Every interface a limited broadcast should leave through, so a machine on
// two networks reaches the agents of both (left alone, the system sends it
// out of one interface only).
QList<BroadcastRoute> broadcastRoutes();

// The directed broadcast address of every local IPv4 network (for example
// 192.168.1.255 for 192.168.1.7/24), in host byte order.
std::set<std::uint32_t> directedBroadcastAddresses();

} // namespace brellan
