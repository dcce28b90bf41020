#pragma once

// The engine's two ways of touching a UDP socket: one send, which names the
// system's reason when the datagram is refused, and one read pass.

#include <QHostAddress>
#include <QUdpSocket>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brellan {

// Sends `datagram` to `address`:`port`, out of interface `interfaceIndex`
// when one is given. Returns nothing when the system took the datagram,
// otherwise why it refused it ("Network is unreachable", ...).
std::optional<std::string> sendDatagram(QUdpSocket& socket, std::span<const std::uint8_t> datagram,
                                        const QHostAddress& address, std::uint16_t port,
                                        std::optional<int> interfaceIndex = std::nullopt);

// Room for the largest UDP payload over IPv4: every datagram is read whole
// into a buffer of this size.
inline constexpr std::size_t maxDatagramSize = 65507;

// Reads the datagrams waiting on `socket`, at most `limit`, into `buffer`
// (of maxDatagramSize bytes) and hands each to `handle(bytes, sender)`.
// Returns true when it stopped at the limit, with more perhaps waiting.
//
// One system call both sizes and takes each datagram, and a pass always
// ends with the read that finds nothing. That last read matters: the event
// loop may report a socket readable when nothing waits (Qt's GLib event
// dispatcher does so during a burst, from a readiness it saw before the
// datagrams were read). QUdpSocket then takes a datagram to be waiting and
// unread, and on its next notification stops watching the socket for good,
// until the program reads from it; the receiver would go deaf. A read
// attempt clears that belief.
template <typename Handle>
bool readPass(QUdpSocket& socket, std::vector<std::uint8_t>& buffer, int limit, Handle handle)
{
    QHostAddress sender;
    quint16 senderPort = 0;
    for (int read = 0; read < limit; ++read) {
        const qint64 size = socket.readDatagram(reinterpret_cast<char*>(buffer.data()),
                                                static_cast<qint64>(buffer.size()), &sender, &senderPort);
        if (size < 0)
            return false;
        handle(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(size)), sender, senderPort);
    }
    return true;
}

// The IPv4 source of a datagram (also when it reached a dual-stack socket
// as an IPv4-mapped IPv6 address); nullopt for anything else.
std::optional<std::uint32_t> ipv4Source(const QHostAddress& sender);

} // namespace brellan
