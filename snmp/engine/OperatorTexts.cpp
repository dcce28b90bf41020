// SPDX-License-Identifier: GPL-3.0-or-later
#include "OperatorTexts.h"

#include "Value.h"

namespace brellan {

std::string noAnswerText(const snmp::InetAddress& target, const std::string& targetName, int copiesSent)
{
    const std::string address = target.text();
    const std::string agent = targetName.empty() ? address : targetName + " (" + address + ")";
    return "No answer from " + agent + " after " + std::to_string(copiesSent) + (copiesSent == 1 ? " try" : " tries");
}

std::string searchDoneText(std::size_t answered, std::uint64_t lost)
{
    std::string text = "Search done: ";
    if (answered == 0)
        text += "no agent answered";
    else
        text += groupedCount(answered) + (answered == 1 ? " agent answered" : " agents answered");
    if (lost != 0)
        text += ", " + groupedCount(lost) + (lost == 1 ? " answer" : " answers") + " lost (receive buffer full)";
    return text;
}

std::string trapsLostToBufferNotice(std::uint64_t lost)
{
    return groupedCount(lost) + (lost == 1 ? " trap" : " traps") + " lost: the receive buffer was full";
}

// An agent at the end of its view says so with noSuchName and the object
// asked for (RFC 1157 4.1.3); anything else that does not move on is a
// broken agent.
std::string walkStoppedText(const snmp::InetAddress& agent, const snmp::Oid& asked, const snmp::Oid& answered,
                            std::int32_t errorStatus)
{
    constexpr std::int32_t noSuchName = 2;
    const std::string prefix = "Walk stopped: " + agent.text();
    if (answered == asked && errorStatus == noSuchName)
        return prefix + " has nothing after " + snmp::formatOid(asked) + " (noSuchName)";
    if (answered == asked)
        return prefix + " answered " + snmp::formatOid(answered) + " again";
    return prefix + " went back to " + snmp::formatOid(answered);
}

std::string couldNotFindText(const std::string& name, const std::string& reason)
{
    return "Could not find " + name + ": " + reason;
}

// An SNMPv1 agent drops a request with a community it does not take,
// without a word, so silence is what a wrong community looks like. The
// community is shown as a value would be, so odd octets cannot hide or
// reorder the line.
std::string communityNote(const std::string& community)
{
    const snmp::Octets octets(community.begin(), community.end());
    return " (community " + snmp::valueText(snmp::OctetString{octets}) + ")";
}

std::string invalidAddressText(const std::string& host)
{
    return "Invalid agent address \"" + host
           + "\": expected an IPv4 address such as 192.168.1.20, an IPv6 address such as 2001:db8::7, or a host name";
}

std::string cannotSendText(const snmp::InetAddress& target, const std::string& refusal)
{
    return "Cannot send the request to " + target.text() + ": " + refusal;
}

std::string cannotBroadcastText(const std::string& refusals)
{
    return "Cannot send the broadcast request to 255.255.255.255: " + refusals;
}

namespace {

std::string trapsWillNotBeReceived(const std::string& family)
{
    return family.empty() ? "Traps will not be received: " : "Traps over " + family + " will not be received: ";
}

} // namespace

std::string trapPortInUseText(std::uint16_t port, const std::string& family)
{
    return trapsWillNotBeReceived(family) + "UDP port " + std::to_string(port)
           + " is in use by another program (stop the other trap receiver and start Brellan again).";
}

std::string trapPortNeedsPrivilegeText(std::uint16_t port, const std::string& family)
{
    return trapsWillNotBeReceived(family) + "UDP port " + std::to_string(port)
           + " needs privilege (run Brellan as root or grant it cap_net_bind_service).";
}

std::string trapPortCannotOpenText(std::uint16_t port, const std::string& address, const std::string& reason,
                                   const std::string& family)
{
    return trapsWillNotBeReceived(family) + "UDP port " + std::to_string(port) + " on " + address
           + " cannot be opened (" + reason + ").";
}

std::string trapsLostText(std::uint64_t lost, std::size_t waitingAtLastLoss)
{
    const bool one = lost == 1;
    return std::to_string(lost) + (one ? " trap was" : " traps were") + " lost: "
           + (one ? "it came" : "they came") + " faster than they could be logged, while "
           + std::to_string(waitingAtLastLoss) + " were waiting.";
}

std::string trapsLostToBufferText(std::uint64_t lost)
{
    return groupedCount(lost) + (lost == 1 ? " trap was" : " traps were") + " lost: the receive buffer was full.";
}

std::string unreadableAtTrapPortText(std::uint64_t datagrams)
{
    return groupedCount(datagrams)
           + (datagrams == 1 ? " datagram at the trap port was not a trap" : " datagrams at the trap port were not traps")
           + " Brellan can read.";
}

std::string groupedCount(std::uint64_t count)
{
    std::string digits = std::to_string(count);
    for (auto position = static_cast<std::ptrdiff_t>(digits.size()) - 3; position > 0; position -= 3)
        digits.insert(static_cast<std::size_t>(position), 1, ',');
    return digits;
}

} // namespace brellan
