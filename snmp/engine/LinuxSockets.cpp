// SPDX-License-Identifier: GPL-3.0-or-later
// The one place the engine asks the system for what only Linux offers: the
// drop count of a socket, and a group of sockets sharing a port, read in
// batches.
#include "LinuxSockets.h"

#ifdef __linux__
#include <fcntl.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#endif

namespace brellan {

#ifdef __linux__

std::optional<std::uint64_t> systemDropCount(qintptr descriptor)
{
    if (descriptor < 0)
        return std::nullopt;
    std::array<std::uint32_t, SK_MEMINFO_VARS> memory{};
    auto size = static_cast<socklen_t>(sizeof(memory));
    if (getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_MEMINFO, memory.data(), &size) != 0
        || size <= static_cast<socklen_t>(SK_MEMINFO_DROPS * sizeof(std::uint32_t)))
        return std::nullopt;
    return memory[SK_MEMINFO_DROPS];
}

namespace {

bool setOption(int socket, int level, int option, int value)
{
    return setsockopt(socket, level, option, &value, sizeof value) == 0;
}

// A UDP socket bound to `port` (0: one the system chooses) on every IPv4
// address, sharing the port when `shared`; -1 on failure.
int boundSocket(std::uint16_t port, bool shared, int receiveBuffer)
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    // The system grants what it allows (up to net.core.rmem_max).
    setOption(socket, SOL_SOCKET, SO_RCVBUF, receiveBuffer);
    if (!setOption(socket, SOL_SOCKET, SO_TIMESTAMPNS, 1)
        || (shared && !setOption(socket, SOL_SOCKET, SO_REUSEPORT, 1))
        || ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

std::uint16_t boundPort(int socket)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

} // namespace

// The first socket is bound without sharing, so the system chooses a port
// no socket uses; only then may others share it. (A port chosen for a
// sharing socket may be one another program's sharing sockets hold.) All
// are bound before any is read or sent from.
std::unique_ptr<SharedPortSockets> SharedPortSockets::open(int count, int receiveBuffer)
{
    std::unique_ptr<SharedPortSockets> group(new SharedPortSockets);
    const int first = boundSocket(0, false, receiveBuffer);
    if (first < 0)
        return nullptr;
    group->m_sockets.push_back(first);
    group->m_port = boundPort(first);
    if (group->m_port == 0 || !setOption(first, SOL_SOCKET, SO_REUSEPORT, 1)
        || !setOption(first, SOL_SOCKET, SO_BROADCAST, 1))
        return nullptr;
    while (static_cast<int>(group->m_sockets.size()) < count) {
        const int socket = boundSocket(group->m_port, true, receiveBuffer);
        if (socket < 0)
            return nullptr;
        group->m_sockets.push_back(socket);
    }
    group->m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (group->m_wake < 0)
        return nullptr;
    group->m_readable.assign(group->m_sockets.size(), false);
    group->m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(batchSize * datagramRoom);
    return group;
}

SharedPortSockets::~SharedPortSockets()
{
    for (const int socket : m_sockets)
        ::close(socket);
    if (m_wake >= 0)
        ::close(m_wake);
}

qintptr SharedPortSockets::duplicateSender() const
{
    return fcntl(m_sockets.front(), F_DUPFD_CLOEXEC, 0);
}

void SharedPortSockets::closeDescriptor(qintptr descriptor)
{
    ::close(static_cast<int>(descriptor));
}

void SharedPortSockets::waitForDatagrams()
{
    std::vector<pollfd> watched;
    watched.reserve(m_sockets.size() + 1);
    for (const int socket : m_sockets)
        watched.push_back({socket, POLLIN, 0});
    watched.push_back({m_wake, POLLIN, 0});
    while (poll(watched.data(), watched.size(), -1) < 0 && errno == EINTR) {
    }
    for (std::size_t i = 0; i < m_sockets.size(); ++i)
        m_readable[i] = (watched[i].revents & POLLIN) != 0;
    if (watched.back().revents & POLLIN) {
        std::uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wake, &wakes, sizeof wakes);
    }
}

void SharedPortSockets::readBatches(std::vector<ReceivedDatagram>& into)
{
    const std::size_t first = into.size();
    int socketsRead = 0;
    for (std::size_t i = 0; i < m_sockets.size(); ++i) {
        if (m_readable[i]) {
            readBatch(m_sockets[i], into);
            ++socketsRead;
        }
    }
    const auto earlier = [](const ReceivedDatagram& a, const ReceivedDatagram& b) { return a.arrivedNs < b.arrivedNs; };
    if (socketsRead > 1)
        std::stable_sort(into.begin() + static_cast<std::ptrdiff_t>(first), into.end(), earlier);
}

namespace {

// The system's receive time of a datagram (SO_TIMESTAMPNS), in ns.
std::int64_t arrivalOf(msghdr& header)
{
    for (cmsghdr* part = CMSG_FIRSTHDR(&header); part; part = CMSG_NXTHDR(&header, part)) {
        if (part->cmsg_level == SOL_SOCKET && part->cmsg_type == SCM_TIMESTAMPNS) {
            timespec time{};
            std::memcpy(&time, CMSG_DATA(part), sizeof time);
            return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
        }
    }
    return 0;
}

} // namespace

void SharedPortSockets::readBatch(int socket, std::vector<ReceivedDatagram>& into)
{
    std::array<mmsghdr, batchSize> messages{};
    std::array<iovec, batchSize> parts{};
    std::array<sockaddr_in, batchSize> senders{};
    struct alignas(cmsghdr) Control {
        char bytes[CMSG_SPACE(sizeof(timespec))];
    };
    std::array<Control, batchSize> controls{};
    for (std::size_t i = 0; i < batchSize; ++i) {
        parts[i] = {m_buffer.get() + i * datagramRoom, datagramRoom};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof(sockaddr_in);
        messages[i].msg_hdr.msg_control = controls[i].bytes;
        messages[i].msg_hdr.msg_controllen = sizeof controls[i].bytes;
    }
    const int read = recvmmsg(socket, messages.data(), batchSize, MSG_DONTWAIT, nullptr);
    for (int i = 0; i < read; ++i) {
        const std::uint8_t* bytes = m_buffer.get() + static_cast<std::size_t>(i) * datagramRoom;
        const sockaddr_in& sender = senders[static_cast<std::size_t>(i)];
        mmsghdr& message = messages[static_cast<std::size_t>(i)];
        into.push_back({std::vector<std::uint8_t>(bytes, bytes + message.msg_len), ntohl(sender.sin_addr.s_addr),
                        ntohs(sender.sin_port), arrivalOf(message.msg_hdr)});
    }
}

void SharedPortSockets::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
}

std::uint64_t SharedPortSockets::systemDrops() const
{
    std::uint64_t drops = 0;
    for (const int socket : m_sockets)
        drops += systemDropCount(socket).value_or(0);
    return drops;
}

#else

std::optional<std::uint64_t> systemDropCount(qintptr)
{
    return std::nullopt;
}

std::unique_ptr<SharedPortSockets> SharedPortSockets::open(int, int)
{
    return nullptr;
}

SharedPortSockets::~SharedPortSockets() = default;
qintptr SharedPortSockets::duplicateSender() const { return -1; }
void SharedPortSockets::closeDescriptor(qintptr) {}
void SharedPortSockets::waitForDatagrams() {}
void SharedPortSockets::readBatches(std::vector<ReceivedDatagram>&) {}
void SharedPortSockets::wake() {}
std::uint64_t SharedPortSockets::systemDrops() const { return 0; }

#endif

} // namespace brellan
