// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemoteTarget.h"

#include "HostName.h"
#include "Ipv4Text.h"
#include "OperatorTexts.h"
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

std::optional<std::uint32_t> firstIpv4Address(const QHostInfo& info)
{
    for (const QHostAddress& address : info.addresses()) {
        bool ok = false;
        const std::uint32_t ipv4 = address.toIPv4Address(&ok);
        if (ok)
            return ipv4;
    }
    return std::nullopt;
}

std::string whyNotFound(const QHostInfo& info)
{
    switch (info.error()) {
    case QHostInfo::NoError: return "no IPv4 address";
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
    const std::optional<std::uint32_t> address = snmp::parseIpv4Text(text);
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

void RemoteTarget::setAddress(std::uint32_t address)
{
    m_address = address;
    m_qtAddress = QHostAddress(address);
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

// The resolver's answer, on this thread. The name's first IPv4 address
// becomes the target's while the name still is the target, so the GetNexts
// of a walk the waiting requests start go there too.
void RemoteTarget::lookedUp(const QHostInfo& info)
{
    if (!m_lookup || info.lookupId() != m_lookup->id)
        return; // abandoned
    Lookup lookup = std::exchange(m_lookup, std::nullopt).value();
    LookupEnd end{std::move(lookup.name), firstIpv4Address(info), {}, std::move(lookup.waiting)};
    if (!end.address)
        end.whyNotFound = whyNotFound(info);
    else if (m_name == end.name && !m_address)
        setAddress(*end.address);
    m_lookupEnded(end);
}

} // namespace brellan
