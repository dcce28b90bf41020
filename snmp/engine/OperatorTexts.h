// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InetAddress.h"
#include "Oid.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace brellan {

// Every text the engine gives the operator: the status line's notices, the
// errors of the member calls that send, and what the trap list's tooltip
// says of the trap receiver.

// --- Notices on the status line ---

// A unicast request given up; `targetName` is the host name it was looked
// up by, or empty.
std::string noAnswerText(const snmp::InetAddress& target, const std::string& targetName, int copiesSent);
// A broadcast's window closed with `answered` agents heard, and `lost`
// answers (or other datagrams) dropped by the system for a full receive buffer.
std::string searchDoneText(std::size_t answered, std::uint64_t lost);
// A GetNext answered without moving past `asked`.
std::string walkStoppedText(const snmp::InetAddress& agent, const snmp::Oid& asked, const snmp::Oid& answered,
                            std::int32_t errorStatus);
// A host name the resolver did not turn into an address.
std::string couldNotFindText(const std::string& name, const std::string& reason);
// Traps the system dropped at the trap port for a full receive buffer, in
// one burst.
std::string trapsLostToBufferNotice(std::uint64_t lost);
// What follows a notice of silence: the community the agents were asked with.
std::string communityNote(const std::string& community);

// --- Errors of the member calls ---

std::string invalidAddressText(const std::string& host);
std::string cannotSendText(const snmp::InetAddress& target, const std::string& refusal);
std::string cannotBroadcastText(const std::string& refusals);

// --- The trap receiver, for the trap list's tooltip and a message box ---

// `family` ("IPv4", "IPv6") names the one socket that failed; empty when
// traps will not be received at all.
std::string trapPortInUseText(std::uint16_t port, const std::string& family = {});
std::string trapPortNeedsPrivilegeText(std::uint16_t port, const std::string& family = {});
std::string trapPortCannotOpenText(std::uint16_t port, const std::string& address, const std::string& reason,
                                   const std::string& family = {});
std::string trapsLostText(std::uint64_t lost, std::size_t waitingAtLastLoss);
// Since start: traps the system dropped for a full receive buffer, and
// datagrams at the trap port that were no trap the program can read.
std::string trapsLostToBufferText(std::uint64_t lost);
std::string unreadableAtTrapPortText(std::uint64_t datagrams);

// A count as the operator reads it: 9871 as "9,871".
std::string groupedCount(std::uint64_t count);

} // namespace brellan
