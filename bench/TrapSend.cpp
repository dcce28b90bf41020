// SPDX-License-Identifier: GPL-3.0-or-later
// Sends a bounded burst of identical, pre-encoded SNMPv1 traps to a port on
// 127.0.0.1, either paced at a given rate or as fast as the socket takes
// them, and optionally watches a log file until its line count settles.
//
//   bench_trap_send --port P [--count 100000] [--rate 50000 | 0 = flat out]
//                   [--cap-ms 20000] [--watch FILE] [--settle-ms 1500]
//                   [--payload-bytes N] [--ipv6]
//
// With --payload-bytes each trap carries instead one binding of N random
// bytes, new for every trap (incompressible, as a hostile host sends them).
//
// Prints key=value lines: start_ns, end_ns and sent; with --watch also
// logged (lines in FILE) and last_ns (when the count last grew). Times are
// CLOCK_MONOTONIC nanoseconds, comparable with the other bench tools.
//
// Only loopback is ever addressed: the destination is fixed to 127.0.0.1,
// or ::1 with --ipv6.

#include "BenchSupport.h"
#include "Message.h"
#include "TypicalTraps.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

using namespace brellan;
using bench::steadyNs;

// enterpriseSpecific 17 from 127.0.0.1 with sysName.0 as its one binding:
// the size and shape of an ordinary v1 trap.
std::vector<std::uint8_t> encodedTrap()
{
    snmp::TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3, 1};
    trap.agentAddress = {127, 0, 0, 1};
    trap.genericTrap = 6;
    trap.specificTrap = 17;
    trap.timeStamp = 123456;
    const std::string name = "bench-agent";
    trap.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 5, 0}, snmp::OctetString{snmp::Octets(name.begin(), name.end())}});
    return snmp::encodeMessage(snmp::Message{snmp::versionV1, "public", trap});
}

struct Burst {
    std::int64_t startNs = 0;
    std::int64_t endNs = 0;
    std::int64_t sent = 0;
};

// Datagram i leaves no earlier than start + i / rate; a full socket buffer
// (ENOBUFS/EAGAIN) is retried, so `sent` counts what the kernel accepted.
// The last `noisyBytes` bytes of the datagram are made anew for each trap.
Burst sendBurst(int socket, std::vector<std::uint8_t> datagram, std::size_t noisyBytes, std::int64_t count,
                std::int64_t rate, std::int64_t capNs)
{
    std::uint64_t noise = 0x9E3779B97F4A7C15ULL;
    const std::span<std::uint8_t> payload = std::span(datagram).last(noisyBytes);
    bench::fillRandom(payload, noise);
    Burst burst;
    burst.startNs = steadyNs();
    const std::int64_t deadline = burst.startNs + capNs;
    while (burst.sent < count) {
        const std::int64_t now = steadyNs();
        if (now > deadline)
            break;
        std::int64_t due = count;
        if (rate > 0) {
            due = std::min(count, (now - burst.startNs) * rate / 1'000'000'000 + 1);
            if (due <= burst.sent) {
                std::this_thread::sleep_for(std::chrono::microseconds(50));
                continue;
            }
        }
        while (burst.sent < due) {
            if (send(socket, datagram.data(), datagram.size(), 0) < 0) {
                if (errno == ENOBUFS || errno == EAGAIN || errno == EINTR)
                    break;
                std::perror("send");
                burst.endNs = steadyNs();
                return burst;
            }
            ++burst.sent;
            bench::fillRandom(payload, noise);
        }
    }
    burst.endNs = steadyNs();
    return burst;
}

// Counts the lines of `path` as it grows until the count has not changed for
// settleNs (or capNs passed); returns the count and when it last grew.
std::pair<std::int64_t, std::int64_t> watchLines(const std::string& path, std::int64_t settleNs, std::int64_t capNs)
{
    std::int64_t lines = 0;
    std::int64_t lastNs = steadyNs();
    std::streamoff offset = 0;
    std::vector<char> buffer(1 << 16);
    const std::int64_t deadline = steadyNs() + capNs;
    while (steadyNs() < deadline && steadyNs() - lastNs < settleNs) {
        std::ifstream file(path, std::ios::binary);
        file.seekg(offset);
        bool grew = false;
        while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || file.gcount() > 0) {
            const std::streamsize got = file.gcount();
            lines += std::count(buffer.data(), buffer.data() + got, '\n');
            offset += got;
            grew = true;
        }
        if (grew)
            lastNs = steadyNs();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return {lines, lastNs};
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Arguments args(argc, argv);
    const std::int64_t port = args.number("--port", 0);
    const std::int64_t count = std::clamp<std::int64_t>(args.number("--count", 100000), 1, 10'000'000);
    const std::int64_t rate = std::max<std::int64_t>(args.number("--rate", 0), 0);
    const std::int64_t capNs = std::clamp<std::int64_t>(args.number("--cap-ms", 20000), 1, 120000) * 1'000'000;
    if (port <= 0 || port > 65535) {
        std::fprintf(stderr, "usage: bench_trap_send --port P [--count N] [--rate R] [--cap-ms MS] [--watch FILE]\n");
        return 2;
    }

    const int sock = bench::connectedLoopbackSocket(static_cast<std::uint16_t>(port), args.flag("--ipv6"));
    if (sock < 0) {
        std::perror("socket");
        return 1;
    }

    // A UDP datagram holds at most 65,507 bytes; the trap around the payload takes about 60.
    const auto noisyBytes = static_cast<std::size_t>(std::clamp<std::int64_t>(args.number("--payload-bytes", 0), 0, 65000));
    const Burst burst = sendBurst(sock, noisyBytes > 0 ? bench::noisyTrap(noisyBytes) : encodedTrap(), noisyBytes,
                                  count, rate, capNs);
    close(sock);
    std::printf("start_ns=%lld\nend_ns=%lld\nsent=%lld\n", static_cast<long long>(burst.startNs),
                static_cast<long long>(burst.endNs), static_cast<long long>(burst.sent));

    const std::string watched = args.text("--watch");
    if (!watched.empty()) {
        const std::int64_t settleNs = std::clamp<std::int64_t>(args.number("--settle-ms", 1500), 1, 30000) * 1'000'000;
        const auto [lines, lastNs] = watchLines(watched, settleNs, capNs);
        std::printf("logged=%lld\nlast_ns=%lld\n", static_cast<long long>(lines), static_cast<long long>(lastNs));
    }
    std::fflush(stdout);
    return 0;
}
