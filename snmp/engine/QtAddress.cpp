// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtAddress.h"

#include <QNetworkInterface>

#include <algorithm>

namespace brellan {
namespace {

// Only a link-local address is told apart by its zone; the system reports
// no zone for any other sender, so one typed with it would never match.
std::string zoneOf(const QHostAddress& address)
{
    const QString zone = address.scopeId();
    if (zone.isEmpty() || !address.isLinkLocal())
        return {};
    bool numeric = false;
    const int index = zone.toInt(&numeric);
    if (numeric) {
        const QString name = QNetworkInterface::interfaceNameFromIndex(index);
        if (!name.isEmpty())
            return name.toStdString();
    }
    return zone.toStdString();
}

} // namespace

snmp::InetAddress fromQtAddress(const QHostAddress& address)
{
    bool isIpv4 = false;
    const std::uint32_t ipv4 = address.toIPv4Address(&isIpv4);
    if (isIpv4)
        return ipv4;
    const Q_IPV6ADDR raw = address.toIPv6Address();
    snmp::InetAddress::Ipv6Bytes octets{};
    std::copy(std::begin(raw.c), std::end(raw.c), octets.begin());
    return snmp::InetAddress::ipv6(octets, zoneOf(address));
}

QHostAddress toQtAddress(const snmp::InetAddress& address)
{
    if (const std::optional<std::uint32_t> ipv4 = address.ipv4())
        return QHostAddress(*ipv4);
    QHostAddress qt(address.ipv6Octets().data());
    if (!address.zone().empty())
        qt.setScopeId(QString::fromStdString(address.zone()));
    return qt;
}

} // namespace brellan
