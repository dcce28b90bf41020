// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The SNMP component for real: SNMPv1 GetRequest/GetNextRequest over UDP,
// answers matched to their requests, retries, and a trap receiver. It lives
// on the GUI thread and raises its events there, one at a time.
//
// The road of an answer to its field, all on the GUI thread:
//   SnmpSocket::readPass, handleDatagram  read, decode, check the source port  SnmpSocket.cpp
//     (answers to a search: AnswerReader::read reads them on a thread of its own,
//     and SnmpSocket::readPass takes them from it a pass's worth at a time)
//   UdpEngine::handleAnswer               ours? answers which request?          UdpEngine.cpp
//     RequestTable::matchAnswer           from whom was asked, what was asked, walk guard
//   EventDelivery::raiseNowOrQueue, deliverWaiting, raiseOldest                  EventDelivery.cpp
//   UdpEngine::raiseResponseTo            the answer becomes the variable list, Response is raised
//   connectManager's handler, Module1::onResponse, which fills the field and may SendGetNext
//
// The road of a trap to its line, read on a thread of its own:
//   SnmpSocket::readPass, handleDatagram  read, decode                          SnmpSocket.cpp
//   TrapReceiver::queueTrap               a trap? queue it (inform: answer it)  TrapReceiver.cpp
//   TrapQueue::push, then TrapReceiver::trapsWaiting to the GUI thread           TrapQueue.cpp
//   EventDelivery::deliverWaiting, raiseOldest                                   EventDelivery.cpp
//   UdpEngine::raiseTrapFrom              Trap is raised                        UdpEngine.cpp
//   the window's Form1::logTrap (wired by connectManager): Module1::onTrap
//     appends the line, and the trap is kept behind it (TrapListModel::keepTrap)
//
// Answers, notices and traps are raised in the order they were read, never
// while another event's handler runs, and in slices that leave the event
// loop its turns (EventDelivery). Requests go to an address, or to a host
// name once the system's resolver has found its address (RemoteTarget);
// when to send a copy again or give a request up is the RequestTable's to
// say, and the engine's timer sends what it says. What the operator reads
// of it all is written in OperatorTexts.

#include "BuiltInCommunity.h"
#include "EventDelivery.h"
#include "RemoteTarget.h"
#include "RequestTable.h"
#include "SnmpComponent.h"
#include "SnmpSocket.h"
#include "TrapReceiver.h"
#include "VariableList.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace brellan {

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
        // Traps over IPv6 come to a socket of their own on the same port.
        QHostAddress trapBindAddress6 = QHostAddress(QHostAddress::AnyIPv6);
        RequestTable::Timing timing{};
        // Traps received but not yet raised, at most, and their datagrams'
        // bytes at most (a trap waiting costs its datagram and about 100 bytes).
        std::size_t trapQueueCapacity = 250'000;
        std::size_t trapQueueBytes = 64 * 1024 * 1024;
        // The receive buffer asked of the system for each socket, in bytes.
        int receiveBufferBytes = SnmpSocket::defaultReceiveBuffer;
        // Sockets sharing the port searches leave from, read by a thread of
        // their own (SnmpSocket::bindSharedPort): each holds about 512
        // answers at Debian's default limit. 0: searches leave through the
        // request socket, as where the system offers no such group.
        int searchSocketsSharingPort = 16;
    };

    // What the engine sent and what it dropped, and why. The losses (answers
    // that found too many waiting, traps that found the queue full, what
    // the system dropped for a full receive buffer, what reached the trap
    // port and was no trap) are for the operator to be told; the rest is traffic no one else sees, for diagnosis, tests and
    // benchmarks.
    struct Counters {
        // The request socket and its answers.
        std::uint64_t malformed = 0;   // failed to decode, or no bindings
        std::uint64_t unmatched = 0;   // wrong version, community, request id or PDU type
        std::uint64_t wrongSource = 0; // not from the address and port asked
        std::uint64_t wrongObject = 0; // a GetRequest answered with another object
        std::uint64_t duplicates = 0;  // a second answer to a completed request
        std::uint64_t retries = 0;     // requests sent again
        std::uint64_t timeouts = 0;    // requests given up
        std::uint64_t responses = 0;   // Response events raised
        std::uint64_t requests = 0;    // requests sent (a retry is not a new request)
        std::uint64_t overflowed = 0;  // answers and notices lost: too many waited for a busy handler
        std::uint64_t answersLostToBuffer = 0; // dropped by the system during broadcast windows
        // The trap socket and its traps.
        std::uint64_t trapsMalformed = 0; // failed to decode
        std::uint64_t notTraps = 0;       // decoded, but no trap
        std::uint64_t trapsDropped = 0;   // lost because the trap queue was full
        std::uint64_t trapsLostToBuffer = 0; // dropped by the system: the receive buffer was full
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
    // The port searches leave from and are answered at (0 when they use
    // the request socket).
    std::uint16_t boundSearchPort() const { return m_searchSocket ? m_searchSocket->boundPort() : 0; }
    Counters counters() const;

signals:
    // What the operator is to know of the trap receiver changed: the text
    // (for the trap list's tooltip) says how many traps were lost.
    void trapReceiverStateChanged(const QString& state);

private:
    using Clock = RequestTable::Clock;

    // Datagrams read from the request socket per pass (see updateAnswersPerPass).
    static constexpr int answersPerPass = 1;
    static constexpr int broadcastAnswersPerPass = 256;
    // Answers already received taken at most before a search's window
    // closes, however busy the thread was (see onTimer).
    static constexpr int answersTakenAtClose = 16384;

    void openSearchSocket();

    // Sending
    void send(snmp::PduType type);
    void sendTo(snmp::PduType type, std::vector<snmp::Oid> oids, const snmp::InetAddress& target,
                const std::string& name);
    void sendWaitingRequests(const RemoteTarget::LookupEnd& end);
    std::int32_t newRequestId();
    bool isBroadcastAddress(const snmp::InetAddress& address, Clock::time_point now);
    void sendUnicast(SnmpSocket& socket, std::span<const std::uint8_t> datagram, const snmp::InetAddress& target);
    SnmpSocket& requestSocketFor(const snmp::InetAddress& target);
    SnmpSocket& searchSocket() { return m_searchSocket ? *m_searchSocket : m_requestSocket; }
    void sendBroadcast(std::span<const std::uint8_t> datagram);

    // Matching answers, and the copies and give-ups the request table says are due
    void handleAnswer(SnmpSocket::Received& received);
    void deliverAnswerEvent(EventDelivery::Posted posted, bool firstOfPass);
    void onTimer();
    void scheduleTimer();
    void updateAnswersPerPass();

    // Raising, as the event delivery calls for it
    void raiseResponseTo(MatchedAnswer& answer);
    void raiseTrapFrom(const ReceivedTrap& trap);
    void reportTrapLosses();
    void reportTrapReceptionCounts();
    std::string searchDoneNotice(const RequestTable::ClosedBroadcast& closed);

    Settings m_settings;
    SnmpSocket m_requestSocket;
    std::unique_ptr<SnmpSocket> m_searchSocket; // none: searches use m_requestSocket
    // Requests to IPv6 agents, and their answers: a socket of its own, IPv6
    // only, so that the IPv4 one stays as it is.
    SnmpSocket m_requestSocket6;
    RequestTable m_requests;
    QTimer m_timer;
    Clock::time_point m_timerDue; // when m_timer fires, while it is active
    TrapReceiver m_trapReceiver;

    VariableList m_variables;
    RemoteTarget m_target;
    // The directed broadcast addresses of the local networks, and when they
    // were read: reading them asks the system for every interface, which
    // costs more than the request they guard, so they are read again at
    // most once a second.
    std::set<std::uint32_t> m_directedBroadcasts;
    std::optional<Clock::time_point> m_broadcastsReadAt;
    // Random request ids, drawn from the system a batch at a time.
    std::array<std::uint32_t, 32> m_randomIds{};
    std::size_t m_randomIdsUsed = m_randomIds.size();

    // The request socket's drop count when each open broadcast was sent.
    std::map<std::int32_t, std::uint64_t> m_dropsAtBroadcast;

    EventDelivery m_delivery;
    std::uint64_t m_trapLossesReported = 0;
    std::uint64_t m_bufferLossesNoticed = 0;
    Counters m_counters;
};

} // namespace brellan
