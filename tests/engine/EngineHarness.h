// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConnectManager.h"
#include "MemoryState.h"
#include "Message.h"
#include "Module1.h"
#include "UdpEngine.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QTest>
#include <QUdpSocket>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace brellan::test {

using namespace std::chrono_literals;

// Generous: the machine may be loaded; a passing test never waits this long.
inline constexpr int patienceMs = 15000;

// Runs the event loop until `condition` holds or patienceMs pass.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = patienceMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// Lets the event loop run for a while, to show that nothing more happens.
inline void settle(std::chrono::milliseconds time) { QTest::qWait(static_cast<int>(time.count())); }

// Reports the sockets under `owner` readable while nothing waits on them,
// as Qt's GLib event dispatcher does during a burst; returns how many read
// notifiers it reached. Runs on `owner`'s thread.
inline int reportReadableWhileEmpty(QObject& owner)
{
    int reached = 0;
    for (QSocketNotifier* notifier : owner.findChildren<QSocketNotifier*>()) {
        if (notifier->type() != QSocketNotifier::Read || !notifier->isEnabled())
            continue;
        QEvent activation(QEvent::SockAct);
        QCoreApplication::sendEvent(notifier, &activation);
        ++reached;
    }
    return reached;
}

inline UdpEngine::Settings loopbackSettings(std::uint16_t agentPort)
{
    UdpEngine::Settings settings;
    settings.community = "mervik";
    settings.agentPort = agentPort;
    settings.trapPort = 0;
    settings.trapBindAddress = QHostAddress(QHostAddress::LocalHost);
    settings.trapBindAddress6 = QHostAddress(QHostAddress::LocalHostIPv6);
    // Three copies, 200 ms apart, before a request is given up.
    settings.timing.initialWait = 200ms;
    settings.timing.maximumWait = 200ms;
    settings.timing.giveUpAfter = 600ms;
    settings.timing.broadcastWindow = 500ms;
    return settings;
}

// A count as the operator reads it, for counts from 1,000 to 999,999.
inline std::string thousands(std::uint64_t count)
{
    const std::string rest = std::to_string(count % 1000);
    return std::to_string(count / 1000) + "," + std::string(3 - rest.size(), '0') + rest;
}

inline snmp::Oid oid(const std::string& dotted) { return snmp::parseOid(dotted).value(); }

// The real engine under the real manager, wired as the window wires them,
// with every Response the dispatcher sees recorded (by VarOid(1)). What a
// handler raises is recorded too, as the window would report it.
struct WiredManager {
    explicit WiredManager(const UdpEngine::Settings& settings) : engine(settings)
    {
        engine.Response().connect(
            [this](std::int32_t, const std::string&) { dispatched.push_back(engine.VarOid(1)); });
        connectManager(engine, manager, run);
    }

    // The operator clicks the (only) row holding `address`.
    void select(const std::string& address)
    {
        state.agentRows = {{address, "agent"}};
        state.selectedRow = 0;
        manager.selectAgent();
    }

    const std::string& field(SystemObject object) const { return state.systemValue(object); }

    MemoryState state;
    UdpEngine engine;
    Module1 manager{state, engine};
    std::vector<std::string> dispatched;
    std::vector<std::string> failures;
    // Runs a handler as the window does: a failure is reported, not thrown
    // into the event loop.
    HandlerRunner run = [this](const char* failure, const std::function<void()>& handler) {
        try {
            handler();
        } catch (const std::exception& error) {
            failures.push_back(std::string(failure) + ": " + error.what());
        }
    };
};

// A scripted agent on 127.0.0.1: records every request it receives and
// answers with whatever the test's script sends back.
class FakeAgent {
public:
    struct Request {
        std::string community;
        snmp::Pdu pdu; // a request is never a v1 trap
        QHostAddress from;
        std::uint16_t port = 0;
    };

    // Called for each decoded request; answer through reply()/replyRaw().
    std::function<void(const Request&)> script;
    std::vector<Request> requests;

    explicit FakeAgent(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost))
    {
        m_socket.bind(address, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] { read(); });
    }

    std::uint16_t port() const { return m_socket.localPort(); }

    void replyRaw(const Request& to, const std::vector<std::uint8_t>& bytes)
    {
        m_socket.writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()),
                               to.from, to.port);
    }

    // A GetResponse to `to` (its id unless `requestId` is given) with one binding.
    static snmp::Message response(const Request& to, const std::string& dotted, snmp::Value value,
                                  std::int32_t errorStatus = 0)
    {
        snmp::Pdu answer;
        answer.type = snmp::PduType::GetResponse;
        answer.requestId = to.pdu.requestId;
        answer.errorStatus = errorStatus;
        answer.errorIndex = errorStatus == 0 ? 0 : 1;
        answer.bindings = {{oid(dotted), std::move(value)}};
        return snmp::Message{snmp::versionV1, "mervik", std::move(answer)};
    }

    void reply(const Request& to, const snmp::Message& message) { replyRaw(to, snmp::encodeMessage(message)); }

    static snmp::Value text(const std::string& content)
    {
        return snmp::OctetString{snmp::Octets(content.begin(), content.end())};
    }

private:
    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_socket.receiveDatagram();
            const QByteArray data = datagram.data();
            const auto decoded = snmp::decodeMessage(
                {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())});
            const auto* pdu = decoded ? std::get_if<snmp::Pdu>(&decoded->pdu) : nullptr;
            if (!pdu)
                continue;
            requests.push_back({decoded->community, *pdu, datagram.senderAddress(),
                                static_cast<std::uint16_t>(datagram.senderPort())});
            if (script)
                script(requests.back());
        }
    }

    QUdpSocket m_socket;
};

} // namespace brellan::test
