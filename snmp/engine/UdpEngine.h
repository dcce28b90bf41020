#pragma once

#include "BuiltInCommunity.h"
#include "EventQueue.h"
#include "RequestTable.h"
#include "RttEstimator.h"
#include "SnmpComponent.h"
#include "TrapReceiver.h"
#include "VariableList.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

#include <chrono>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace brellan {

// The SNMP component for real: SNMPv1 GetRequest/GetNextRequest over UDP,
// responses matched to their requests, retries, and a trap receiver. It
// lives on the GUI thread; its events are raised from Qt's event loop, one
// at a time (traps are read on a thread of the trap receiver's own, but
// raised here like the rest). This class is the component's face: the
// variable list, the request table, the round-trip estimates, the trap
// receiver and the socket helpers do the work.
class UdpEngine final : public QObject, public SnmpComponent {
    Q_OBJECT

public:
    // Built-in settings. The program uses the defaults; tests pass other
    // ports (0 lets the system pick one) and shorter times.
    struct Settings {
        std::string community{builtInCommunity};
        std::uint16_t agentPort = 161;
        std::uint16_t trapPort = 162;
        QHostAddress trapBindAddress = QHostAddress(QHostAddress::AnyIPv4);
        // The wait before a request is sent again is learnt from each
        // agent's answers (RttEstimator), within these bounds; before an
        // agent has answered, it is the initial wait. Each further copy
        // waits twice as long as the one before, up to the maximum, and a
        // request is given up once giveUpAfter has passed since its first
        // copy: an agent that never answers gets six copies in 6 s, as
        // Net-SNMP's tools send by default.
        std::chrono::milliseconds initialWait{1000};
        std::chrono::milliseconds minimumWait{50};
        std::chrono::milliseconds maximumWait{1000};
        std::chrono::milliseconds giveUpAfter{6000};
        std::chrono::milliseconds broadcastWindow{3000};
        // Traps received but not yet raised, at most: 12 bytes each.
        std::size_t trapQueueCapacity = 1'000'000;
    };

    // What was dropped and why; for tests, benchmarks and diagnosis.
    struct Counters {
        std::uint64_t malformed = 0;   // failed to decode
        std::uint64_t unmatched = 0;   // wrong version, community, request id or PDU type
        std::uint64_t wrongSource = 0; // not from the address and port asked
        std::uint64_t wrongObject = 0; // a GetRequest answered with another object
        std::uint64_t duplicates = 0;  // a second answer to a completed request
        std::uint64_t notAdvancing = 0; // GetNext answer not after the requested object
        std::uint64_t retries = 0;     // requests sent again
        std::uint64_t walkRetries = 0; // the same, since the last Reset (the walk now in progress)
        std::uint64_t timeouts = 0;    // requests given up
        std::uint64_t traps = 0;       // Trap events raised
        std::uint64_t responses = 0;   // Response events raised
        std::uint64_t requests = 0;    // requests sent (a retry is not a new request)
        std::uint64_t overflowed = 0;  // events lost because too many waited for a busy handler
        std::uint64_t trapsDropped = 0; // traps lost because the trap queue was full
        std::uint64_t broadcastWalksRefused = 0; // GetNext to a broadcast address, not sent
    };

    // (Two constructors rather than a defaulted Settings argument: a nested
    // struct with member initializers cannot be a default argument inside
    // its own class.)
    explicit UdpEngine(QObject* parent = nullptr);
    explicit UdpEngine(Settings settings, QObject* parent = nullptr);
    ~UdpEngine() override;

    // SnmpComponent
    void setVarCount(int count) override;
    void setVarOid(int index, const std::string& oid) override;
    std::string VarOid(int index) const override;
    std::string VarValue(int index) const override;
    void setRemoteHost(const std::string& host) override;
    std::string RemoteHost() const override;
    void Reset() override;
    void SendGetNext() override;
    void SendGet() override;

    // Empty while traps are received; otherwise why they are not, and the fix.
    QString trapReceiverProblem() const { return m_trapReceiver.problem(); }
    // The port the trap socket is bound to (0 when it is not bound).
    std::uint16_t boundTrapPort() const { return m_trapReceiver.boundPort(); }
    Counters counters() const;

signals:
    // What the operator is to know of the trap receiver changed: the text
    // (for the trap list's tooltip) says how many traps were lost.
    void trapReceiverStateChanged(const QString& state);

private:
    static constexpr int datagramsPerPass = 256;
    static constexpr std::size_t maxQueuedEvents = 100000;

    void send(snmp::PduType type);
    std::uint32_t remoteAddress() const;
    std::int32_t takeRequestId() const;
    bool isBroadcastAddress(std::uint32_t address) const;
    void reportFailure(const std::string& reason);
    void sendUnicast(std::span<const std::uint8_t> datagram, std::uint32_t target);
    void sendBroadcast(std::span<const std::uint8_t> datagram);

    void readRequestSocket();
    void handleResponse(std::span<const std::uint8_t> bytes, const QHostAddress& sender, std::uint16_t senderPort);
    void learnRoundTrip(const RequestTable::Request& request, RequestTable::Clock::time_point answeredAt);
    void deliverResponse(std::int32_t errorStatus, std::vector<snmp::VarBind> bindings, const std::string& from);
    void deliverTrap(const ReceivedTrap& trap);

    void onTimer();
    void scheduleTimer();

    Settings m_settings;
    // A child of the engine, so that tests can reach its notifier.
    QUdpSocket m_requestSocket{this};
    QTimer m_timer;
    RequestTable::Clock::time_point m_timerDue; // when m_timer fires, while it is active
    RequestTable m_requests;
    RttEstimator m_roundTrips;
    EventQueue m_events{maxQueuedEvents};
    // Delivers through m_events, so it is made after it and gone before it.
    TrapReceiver m_trapReceiver;

    VariableList m_variables;
    std::string m_remoteHost;
    // The directed broadcast addresses of the local networks, as they were
    // at the last SendGet (a walk's GetNexts are checked against them).
    std::set<std::uint32_t> m_directedBroadcasts;
    Counters m_counters;
    bool m_requestReadQueued = false;
    std::vector<std::uint8_t> m_datagram;
};

} // namespace brellan
