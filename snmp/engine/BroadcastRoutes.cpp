// SPDX-License-Identifier: GPL-3.0-or-later
#include "BroadcastRoutes.h"

#include <QNetworkInterface>

namespace brellan {

QList<BroadcastRoute> broadcastRoutes()
{
    QList<BroadcastRoute> routes;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::CanBroadcast)
            || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        // One route per interface, through its first IPv4 address.
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol || entry.ip().isLoopback())
                continue;
            routes.append({interface.index(), interface.name()});
            break;
        }
    }
    return routes;
}

std::set<std::uint32_t> directedBroadcastAddresses()
{
    std::set<std::uint32_t> addresses;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            bool ok = false;
            const std::uint32_t broadcast = entry.broadcast().toIPv4Address(&ok);
            if (ok && entry.ip().protocol() == QAbstractSocket::IPv4Protocol && broadcast != 0)
                addresses.insert(broadcast);
        }
    }
    return addresses;
}

} // namespace brellan
