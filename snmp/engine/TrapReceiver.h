#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brellan {

// Receives traps on one UDP port: binds the socket (and says why when it
// cannot), reads what arrives in bounded passes, decodes each datagram and
// hands every trap on as trapReceived. Traps are taken whatever their
// community; what is not a trap is counted and dropped.
class TrapReceiver final : public QObject {
    Q_OBJECT

public:
    struct Counters {
        std::uint64_t malformed = 0; // failed to decode
        std::uint64_t unmatched = 0; // decoded, but no trap
    };

    TrapReceiver(const QHostAddress& address, std::uint16_t port, QObject* parent = nullptr);

    // Empty while traps are received; otherwise why they are not, and the fix.
    QString problem() const { return m_problem; }
    // The port the socket is bound to (0 when it is not bound).
    std::uint16_t boundPort() const;
    Counters counters() const { return m_counters; }

signals:
    // generic-trap, specific-trap, and the agent's address as dotted text.
    void trapReceived(std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress);

private:
    static constexpr int datagramsPerPass = 256;
    static constexpr int receiveBuffer = 4 * 1024 * 1024;

    static QString bindProblem(const QUdpSocket& socket, const QHostAddress& address, std::uint16_t port);
    void readPending();
    void handle(std::span<const std::uint8_t> bytes, const QHostAddress& sender);

    QUdpSocket m_socket{this};
    QString m_problem;
    Counters m_counters;
    bool m_readQueued = false;
    std::vector<std::uint8_t> m_datagram;
};

} // namespace brellan
