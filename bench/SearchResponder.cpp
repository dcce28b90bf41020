// SPDX-License-Identifier: GPL-3.0-or-later
// A LAN of thousands of agents in one process: waits for one GetRequest for
// sysName.0 (the broadcast of a search) and answers it from each of COUNT
// addresses, as fast as one process sends, each answer from its own source
// address (sendmsg with IP_PKTINFO). The addresses must be on this host's
// interface; bench/search_lan.sh puts them there, in a network namespace of
// its own.
//
//   bench_search_responder --first 10.203.1.0 --count 5000 [--port 161]
//                          [--community mervik] [--wait-ms 30000]
//
// Prints "answered=N seconds=S" once it has sent, or exits 1 when no request
// came within the wait.

#include "BenchSupport.h"
#include "Message.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace brellan;

const snmp::Oid sysName{1, 3, 6, 1, 2, 1, 1, 5, 0};

// The request id of a GetRequest for sysName.0 with our community, if the
// datagram is one.
std::optional<std::int32_t> searchRequest(const std::uint8_t* bytes, std::size_t size, const std::string& community)
{
    const snmp::Decoded<snmp::Message> message = snmp::decodeMessage({bytes, size});
    if (!message || message->community != community)
        return std::nullopt;
    const auto* pdu = std::get_if<snmp::Pdu>(&message->pdu);
    if (!pdu || pdu->type != snmp::PduType::GetRequest || pdu->bindings.empty() || pdu->bindings[0].oid != sysName)
        return std::nullopt;
    return pdu->requestId;
}

std::vector<std::uint8_t> answer(std::int32_t requestId, const std::string& community, int agent)
{
    snmp::Pdu response;
    response.type = snmp::PduType::GetResponse;
    response.requestId = requestId;
    char name[32];
    std::snprintf(name, sizeof name, "search-agent-%05d", agent);
    response.bindings = {{sysName, snmp::OctetString{snmp::Octets(name, name + std::strlen(name))}}};
    return snmp::encodeMessage(snmp::Message{snmp::versionV1, community, std::move(response)});
}

// Sends `datagram` to `to` from the local address `from`.
bool sendFrom(int socket, const std::vector<std::uint8_t>& datagram, const sockaddr_in& to, in_addr from)
{
    iovec part{const_cast<std::uint8_t*>(datagram.data()), datagram.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_in*>(&to);
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = from;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    return sendmsg(socket, &message, 0) == static_cast<ssize_t>(datagram.size());
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Arguments args(argc, argv);
    const std::string first = args.text("--first", "");
    const int count = static_cast<int>(std::clamp<std::int64_t>(args.number("--count", 0), 0, 60000));
    const auto port = static_cast<std::uint16_t>(args.number("--port", 161));
    const std::string community = args.text("--community", "mervik");
    const int waitMs = static_cast<int>(args.number("--wait-ms", 30000));
    in_addr firstAddress{};
    if (count == 0 || inet_pton(AF_INET, first.c_str(), &firstAddress) != 1) {
        std::fprintf(stderr, "usage: bench_search_responder --first ADDRESS --count N [--port P]\n");
        return 2;
    }

    const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    if (socket < 0 || bind(socket, reinterpret_cast<const sockaddr*>(&any), sizeof any) < 0) {
        std::perror("bench_search_responder: bind");
        return 1;
    }
    std::printf("listening port=%u\n", port);
    std::fflush(stdout);

    std::uint8_t buffer[65536];
    const std::int64_t deadline = bench::steadyNs() + std::int64_t{waitMs} * 1000000;
    while (bench::steadyNs() < deadline) {
        pollfd readable{socket, POLLIN, 0};
        if (poll(&readable, 1, 100) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size = recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        const std::optional<std::int32_t> id = size > 0 ? searchRequest(buffer, static_cast<std::size_t>(size), community)
                                                         : std::nullopt;
        if (!id)
            continue;
        std::vector<std::vector<std::uint8_t>> answers;
        answers.reserve(static_cast<std::size_t>(count));
        for (int agent = 0; agent < count; ++agent)
            answers.push_back(answer(*id, community, agent));
        const std::int64_t start = bench::steadyNs();
        int sent = 0;
        for (int agent = 0; agent < count; ++agent) {
            const in_addr source{htonl(ntohl(firstAddress.s_addr) + static_cast<std::uint32_t>(agent))};
            sent += sendFrom(socket, answers[static_cast<std::size_t>(agent)], from, source) ? 1 : 0;
        }
        std::printf("answered=%d seconds=%.4f\n", sent, static_cast<double>(bench::steadyNs() - start) / 1e9);
        close(socket);
        return sent == count ? 0 : 1;
    }
    std::fprintf(stderr, "bench_search_responder: no search request within %d ms\n", waitMs);
    close(socket);
    return 1;
}
