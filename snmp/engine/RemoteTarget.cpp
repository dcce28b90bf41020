// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemoteTarget.h"

#include "HostName.h"
#include "Ipv4Text.h"
#include "OperatorTexts.h"
#include "QtAddress.h"
#include "SnmpError.h"

#include <string_view>
#include <utility>

namespace brellan {
namespace {

// The text without the spaces and tabs a paste may bring around it.
std::string_view withoutSurroundingBlanks(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The resolver gives a name's addresses in the system's order of
// preference (RFC 6724, as /etc/gai.conf sets it): the first is taken.
std::optional<snmp::InetAddress> firstAddress(const QHostInfo& info)
{
    const QList<QHostAddress> addresses = info.addresses();
    if (addresses.isEmpty())
        return std::nullopt;
    return fromQtAddress(addresses.front());
}

// An IPv6 address as typed: hexadecimal groups with colons, an optional
// zone after "%" (fe80::1%eth0). Text without a colon is never one, so a
// host name never reaches Qt's parser, which also takes other forms.
std::optional<snmp::InetAddress> parseIpv6Text(std::string_view text)
{
    if (text.find(':') == std::string_view::npos)
        return std::nullopt;
    QHostAddress address;
    if (!address.setAddress(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())))
        || address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    return fromQtAddress(address);
}

std::optional<snmp::InetAddress> parseAddressText(std::string_view text)
{
    if (const std::optional<std::uint32_t> ipv4 = snmp::parseIpv4Text(text))
        return snmp::InetAddress(*ipv4);
    return parseIpv6Text(text);
}

std::string whyNotFound(const QHostInfo& info)
{
    switch (info.error()) {
    case QHostInfo::NoError: return "no address";
    case QHostInfo::HostNotFound: return "host not found";
    default: return info.errorString().toStdString();
    }
}

} // namespace

RemoteTarget::RemoteTarget(LookupEndHandler lookupEnded, QObject* parent)
    : QObject(parent), m_lookupEnded(std::move(lookupEnded))
{
}

void RemoteTarget::set(const std::string& host)
{
    const std::string_view text = withoutSurroundingBlanks(host);
    const std::optional<snmp::InetAddress> address = parseAddressText(text);
    m_address.reset();
    m_name.clear();
    m_written.clear();
    if (!address && !isHostName(text))
        throw SnmpError(invalidAddressText(host));
    m_written = host;
    if (address) {
        setAddress(*address);
        return;
    }
    m_name = std::string(text);
    lookUp(m_name);
}

bool RemoteTarget::holdUntilFound(WaitingRequest request)
{
    if (!m_lookup || m_name.empty() || m_lookup->name != m_name)
        return false;
    m_lookup->waiting.push_back(std::move(request));
    return true;
}

// The lookup itself runs on in Qt's resolver threads (aborting it leaks Qt's
// bookkeeping of the answer), and its answer is ignored when it comes.
void RemoteTarget::abandonLookup()
{
    m_lookup.reset();
}

void RemoteTarget::setAddress(const snmp::InetAddress& address)
{
    m_address = address;
    m_qtAddress = toQtAddress(address);
}

void RemoteTarget::lookUp(const std::string& name)
{
    abandonLookup();
    // The resolver's answer always comes later, from the event loop.
    Lookup lookup;
    lookup.name = name;
    lookup.id = QHostInfo::lookupHost(QString::fromStdString(name), this, &RemoteTarget::lookedUp);
    m_lookup = std::move(lookup);
}

// The resolver's answer, on this thread. The name's first address
// becomes the target's while the name still is the target, so the GetNexts
// of a walk the waiting requests start go there too.
void RemoteTarget::lookedUp(const QHostInfo& info)
{
    if (!m_lookup || info.lookupId() != m_lookup->id)
        return; // abandoned
    Lookup lookup = std::exchange(m_lookup, std::nullopt).value();
    LookupEnd end{std::move(lookup.name), firstAddress(info), {}, std::move(lookup.waiting)};
    if (!end.address)
        end.whyNotFound = whyNotFound(info);
    else if (m_name == end.name && !m_address)
        setAddress(*end.address);
    m_lookupEnded(end);
}

} // namespace brellan
