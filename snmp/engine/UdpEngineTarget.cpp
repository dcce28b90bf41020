// SPDX-License-Identifier: GPL-3.0-or-later
// Where requests go: RemoteHost holds an IPv4 address or a host name. A
// name is looked up through the system's resolver without blocking the
// window; requests sent meanwhile wait for its address, and go to its first
// IPv4 address once it is known. Reset abandons a lookup under way.

#include "UdpEngine.h"

#include "HostName.h"
#include "Ipv4Text.h"
#include "SnmpError.h"

namespace brellan {
namespace {

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

// The text is checked here, when it is written, so the error names the text
// the operator gave; a rejected text leaves no target behind, and a later
// send fails instead of reaching the previous agent. Blanks around a pasted
// address or name are ignored.
void UdpEngine::setRemoteHost(const std::string& host)
{
    const std::string_view text = withoutSurroundingBlanks(host);
    const std::optional<std::uint32_t> address = parseIpv4Text(text);
    m_target.reset();
    m_targetName.clear();
    m_remoteHost.clear();
    if (!address && !isHostName(text)) {
        throw SnmpError("Invalid agent address \"" + host
                        + "\": expected an IPv4 address in dotted decimal such as 192.168.1.20, or a host name");
    }
    m_remoteHost = host;
    if (address) {
        setTarget(*address);
        return;
    }
    m_targetName = std::string(text);
    lookUp(m_targetName);
}

std::string UdpEngine::RemoteHost() const
{
    return m_remoteHost;
}

void UdpEngine::setTarget(std::uint32_t address)
{
    m_target = address;
    m_targetAddress = QHostAddress(address);
}

void UdpEngine::lookUp(const std::string& name)
{
    abandonLookup();
    // The resolver's answer always comes later, from the event loop.
    Lookup lookup;
    lookup.name = name;
    lookup.id = QHostInfo::lookupHost(QString::fromStdString(name), this, &UdpEngine::lookedUp);
    m_lookup = std::move(lookup);
}

// The resolver's answer, on this thread. The requests that waited go to the
// name's first IPv4 address, and so do the GetNexts of the walk they start
// while the name is still the target; the broadcast rules apply to that
// address as to one written out.
void UdpEngine::lookedUp(const QHostInfo& info)
{
    if (!m_lookup || info.lookupId() != m_lookup->id)
        return; // abandoned
    const Lookup lookup = std::exchange(m_lookup, std::nullopt).value();
    const std::optional<std::uint32_t> address = firstIpv4Address(info);
    const Clock::time_point now = Clock::now();
    if (!address) {
        post({now, Notice{"Could not find " + lookup.name + ": " + whyNotFound(info)}});
        return;
    }
    if (m_targetName == lookup.name && !m_target)
        setTarget(*address);
    for (const auto& [type, oids] : lookup.waiting) {
        // Called from the event loop: a refusal is told on the status line,
        // as there is no command left to fail.
        try {
            sendTo(type, oids, *address, lookup.name);
        } catch (const SnmpError& error) {
            post({now, Notice{error.what()}});
        }
    }
}

// The lookup itself runs on in Qt's resolver threads (aborting it leaks Qt's
// bookkeeping of the answer), and its answer is ignored when it comes.
void UdpEngine::abandonLookup()
{
    m_lookup.reset();
}

} // namespace brellan
