// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NameIndex.h"
#include "ReceivedTrap.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace brellan {

// How much of a trap its details show: a value (or object identifier) longer
// than valueBytes of text is cut, with a mark that says so and how long it
// was; bindings past the first maxBindings are counted, not shown.
struct DetailLimits {
    std::size_t valueBytes = 256;
    std::size_t maxBindings = 64;
};

// Whether the details show the community. An SNMPv1 community is the
// agent's password: the operator's own tooltip and screen reader show it,
// but a copy meant for others gives only its length.
enum class CommunityShown { asText, asLengthOnly };

// How the details read object identifiers: by number alone without names;
// with names, by name where one is known and may be shown (ShownNames.h),
// an INTEGER whose object names its value as that name ("down(2)"), and,
// when `numbersBesideNames`, each name followed by its number in
// parentheses, so that a copy pasted into a ticket can be searched either
// way. An identifier with no name reads as its number.
struct OidNaming {
    const names::NameIndex* names = nullptr;
    bool numbersBesideNames = false;
};

// A trap's details as UTF-8 text, one fact a line, no final line break:
// `receivedAt` (the local time as the caller writes it), the UDP source and,
// for a v1 trap whose agent-addr is another address, a sentence saying so;
// the version, the kind of PDU and the community; for v1 the agent-addr,
// enterprise, generic and specific codes and time-stamp, for v2c the values
// of snmpTrapOID.0 and sysUpTime.0; then every variable binding as
// "OID = TYPE: value" (snmp::typedValueText), so that the text "80" reads
// STRING: "80" and the byte 0x80 Hex-STRING: 80, and a line break inside a
// string shows as \n rather than starting a line of its own. The enterprise,
// snmpTrapOID.0, the bindings' identifiers and OID values read as `naming`
// says.
//
// The datagram is decoded here, from untrusted bytes: one that does not
// decode says why, and where. The header's values, and the community, read
// as snmp::valueText shows them (control and format characters in
// hexadecimal); the community reads so, or as "6 octets, not copied" when
// `community` asks for its length only.
std::string trapDetailsText(const ReceivedTrap& trap, std::string_view receivedAt, const DetailLimits& limits = {},
                            CommunityShown community = CommunityShown::asText, OidNaming naming = {});

// Every run of letters the formatter writes of its own in the details above
// (labels, sentences, type names, generic-trap names, decode errors, marks),
// lower-cased, each followed by a blank (appendFoldedLetterRuns). Not in it:
// names and labels (shownNameLetterRuns), the hexadecimal digits of bytes
// and type tags ("Hex-STRING: 0A FF", "0x9F"), the letter of an escape in a
// quoted string (\n \r \t \u2028), and the text of the datagram's strings.
// A search asks a datagram for letters only when they are in none of these.
std::string trapDetailsOwnLetterRuns();

// The details of a line whose trap was let go to bound memory, and of a line
// that never had a trap kept.
std::string detailsLetGoText();
std::string detailsNeverKeptText();

} // namespace brellan
