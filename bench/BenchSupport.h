// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers shared by the benchmark tools: a clock that all processes
// on the machine share, percentiles, resident memory and argument parsing.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace brellan::bench {

// Nanoseconds on the monotonic clock. On Linux steady_clock is
// CLOCK_MONOTONIC, so values taken in two processes can be compared.
inline std::int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The value below which `fraction` of the samples lie (nearest rank).
inline double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(rank, samples.size() - 1)];
}

// Resident memory of a process in bytes ("self" or a pid), 0 if unknown.
inline std::int64_t residentBytes(const std::string& pid = "self")
{
    std::ifstream status("/proc/" + pid + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            std::int64_t kilobytes = 0;
            status >> kilobytes;
            return kilobytes * 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// The UDP datagrams this network namespace dropped for want of receive
// buffer so far: the RcvbufErrors column of /proc/net/snmp's Udp lines.
inline long long udpReceiveBufferErrors()
{
    std::ifstream snmp("/proc/net/snmp");
    std::string line;
    std::vector<std::string> names;
    while (std::getline(snmp, line)) {
        if (line.rfind("Udp:", 0) != 0)
            continue;
        std::istringstream fields(line.substr(4));
        std::vector<std::string> values{std::istream_iterator<std::string>(fields), {}};
        if (names.empty()) {
            names = values;
            continue;
        }
        for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
            if (names[i] == "RcvbufErrors")
                return std::atoll(values[i].c_str());
        }
    }
    return 0;
}

// "--name value" pairs; a missing or malformed value gives the fallback.
class Arguments {
public:
    Arguments(int argc, char** argv) : m_args(argv + 1, argv + argc) {}

    std::string text(std::string_view name, std::string fallback = {}) const
    {
        for (std::size_t i = 0; i + 1 < m_args.size(); ++i) {
            if (m_args[i] == name)
                return m_args[i + 1];
        }
        return fallback;
    }
    std::int64_t number(std::string_view name, std::int64_t fallback) const
    {
        const std::string value = text(name);
        if (value.empty())
            return fallback;
        char* end = nullptr;
        const long long parsed = std::strtoll(value.c_str(), &end, 10);
        return end && *end == '\0' ? parsed : fallback;
    }
    bool flag(std::string_view name) const { return std::find(m_args.begin(), m_args.end(), name) != m_args.end(); }

private:
    std::vector<std::string> m_args;
};

// A UDP socket connected to `port` on the loopback address, 127.0.0.1 or
// (`ipv6`) ::1: the benchmarks never address anything else. -1 on failure.
inline int connectedLoopbackSocket(std::uint16_t port, bool ipv6)
{
    const int sock = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
    if (sock < 0)
        return -1;
    int connected = -1;
    if (ipv6) {
        sockaddr_in6 target{};
        target.sin6_family = AF_INET6;
        target.sin6_port = htons(port);
        target.sin6_addr = in6addr_loopback;
        connected = connect(sock, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    } else {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = connect(sock, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    }
    if (connected < 0) {
        close(sock);
        return -1;
    }
    return sock;
}

} // namespace brellan::bench
