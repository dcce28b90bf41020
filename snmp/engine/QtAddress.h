// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InetAddress.h"

#include <QHostAddress>

namespace brellan {

// The engine's address as Qt's sockets take it, and back. An IPv4-mapped
// IPv6 address (::ffff:10.0.0.7, as a dual-stack socket reports an IPv4
// sender) becomes the IPv4 address it maps; a zone given as an interface
// index becomes the interface's name, as Qt names the zone of a sender.
snmp::InetAddress fromQtAddress(const QHostAddress& address);
QHostAddress toQtAddress(const snmp::InetAddress& address);

} // namespace brellan
