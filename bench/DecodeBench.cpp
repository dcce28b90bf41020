// SPDX-License-Identifier: GPL-3.0-or-later
// Time to decode the datagrams the station sees most: the answer to a
// request for one system value, and a v1 trap.

#include "Message.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace brellan::snmp;

std::vector<std::uint8_t> sysDescrResponse()
{
    Pdu response;
    response.type = PduType::GetResponse;
    response.requestId = 1244549817;
    const std::string text = "Linux corpus-agent 6.1.0-18-amd64 x86_64"; // 40 bytes
    response.bindings.push_back({Oid{1, 3, 6, 1, 2, 1, 1, 1, 0}, OctetString{Octets(text.begin(), text.end())}});
    return encodeMessage(Message{versionV1, "mervik", response});
}

// snmptrap -v1 ... 1.3.6.1.4.1.8072.2.3.1 10.1.2.3 6 17 '' sysName.0 s
// corpus-agent ifIndex.2 i 2, as Net-SNMP sends it.
const std::vector<std::uint8_t> v1Trap{
    0x30, 0x57, 0x02, 0x01, 0x00, 0x04, 0x06, 0x70, 0x75, 0x62, 0x6c, 0x69, 0x63, 0xa4, 0x4a, 0x06, 0x0a, 0x2b,
    0x06, 0x01, 0x04, 0x01, 0xbf, 0x08, 0x02, 0x03, 0x01, 0x40, 0x04, 0x0a, 0x01, 0x02, 0x03, 0x02, 0x01, 0x06,
    0x02, 0x01, 0x11, 0x43, 0x03, 0x10, 0x0e, 0x66, 0x30, 0x2b, 0x30, 0x18, 0x06, 0x08, 0x2b, 0x06, 0x01, 0x02,
    0x01, 0x01, 0x05, 0x00, 0x04, 0x0c, 0x63, 0x6f, 0x72, 0x70, 0x75, 0x73, 0x2d, 0x61, 0x67, 0x65, 0x6e, 0x74,
    0x30, 0x0f, 0x06, 0x0a, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x02, 0x02, 0x01, 0x01, 0x02, 0x02, 0x01, 0x02};

void decodeOrFail(benchmark::State& state, const std::vector<std::uint8_t>& datagram)
{
    if (!decodeMessage(datagram)) {
        state.SkipWithError("the datagram does not decode");
        return;
    }
    for (auto _ : state) {
        Decoded<Message> result = decodeMessage(datagram);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * datagram.size()));
}

void decodeGetResponse(benchmark::State& state)
{
    decodeOrFail(state, sysDescrResponse());
}
BENCHMARK(decodeGetResponse);

void decodeV1Trap(benchmark::State& state)
{
    decodeOrFail(state, v1Trap);
}
BENCHMARK(decodeV1Trap);

} // namespace
