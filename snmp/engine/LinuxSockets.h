// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DatagramQueue.h"

#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace brellan {

// How many datagrams the system has dropped on the socket since it was
// opened, most of them because its receive buffer was full; nothing where
// the system does not tell (anywhere but Linux), or when it cannot be read.
// Reading it needs no privilege. The count is the system's, 32 bits wide.
std::optional<std::uint64_t> systemDropCount(qintptr descriptor);

// UDP sockets that share one port on every IPv4 address (SO_REUSEPORT).
// The system spreads the datagrams that come to the port over them by
// their source and destination, and each has a receive buffer of its own:
// together they hold as many times more of a burst as there are sockets,
// where an unprivileged program cannot enlarge one socket's buffer beyond
// the system's limit. Read by one thread, in batches (recvmmsg). Only on
// Linux: elsewhere open() gives nothing, and one socket serves as before.
class SharedPortSockets {
public:
    // Opens `count` sockets on one port the system chooses, each asking for
    // `receiveBuffer` bytes; nothing when the group cannot be had. The
    // first is bound alone before the others join it, so the port is one
    // no other socket uses.
    static std::unique_ptr<SharedPortSockets> open(int count, int receiveBuffer);
    ~SharedPortSockets();
    SharedPortSockets(const SharedPortSockets&) = delete;
    SharedPortSockets& operator=(const SharedPortSockets&) = delete;

    std::uint16_t port() const { return m_port; }
    // A second descriptor of the first socket, allowed to broadcast, for
    // the sender to own and close; -1 when the system gives none. What
    // comes back to it is read here, with the rest.
    qintptr duplicateSender() const;
    // Closes a descriptor duplicateSender() gave that found no owner.
    static void closeDescriptor(qintptr descriptor);

    // Reader thread: waits until a datagram waits on some socket, or wake()
    // was called.
    void waitForDatagrams();
    // Reader thread: reads a batch from each socket the last wait found
    // readable, appending to `into` in the order the system received them
    // (an answer and a forgery of it, from two hosts, may reach two sockets).
    void readBatches(std::vector<ReceivedDatagram>& into);
    // Any thread: ends the reader's wait.
    void wake();

    // The system's drop counts, summed over the sockets (modulo 2^32, as
    // each count is 32 bits wide).
    std::uint64_t systemDrops() const;

private:
    SharedPortSockets() = default;
    void readBatch(int socket, std::vector<ReceivedDatagram>& into);

    static constexpr std::size_t batchSize = 32;
    static constexpr std::size_t datagramRoom = 65536;

    std::vector<int> m_sockets;
    std::vector<bool> m_readable; // as the last wait found them
    int m_wake = -1;
    std::uint16_t m_port = 0;
    std::unique_ptr<std::uint8_t[]> m_buffer; // batchSize datagrams' room
};

} // namespace brellan
