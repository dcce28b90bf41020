// SPDX-License-Identifier: GPL-3.0-or-later
// A hostile host of the test LAN. It listens on UDP 161 like an agent and,
// for a bounded time, does one of two things:
//
//   spray <seconds>       Learns the manager's request port and request id
//                         from the first GetRequest it sees (the Find Agents
//                         broadcast), lets the search's answers in for 3 s
//                         (it is after forged values, not a flood that
//                         drowns the search), then sends forged GetResponses for the
//                         next ids and for random ones, naming each object of
//                         the system group with a "SPOOFED" value, from its
//                         own address and port 161, about 30,000 a second
//                         (200,000 at most).
//   forge-find <seconds>  Answers every GetRequest for sysName.0 with a
//                         GetResponse that names sysDescr.0 instead: the
//                         answer that would turn a search into a walk.
//
// Prints "ready" once it listens and, on leaving, what it sent. Run only
// inside the test LAN's namespaces (test_lan.sh starts it through the
// scenarios).

#include "Message.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QThread>
#include <QUdpSocket>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace brellan;

constexpr qint64 maxSeconds = 60;
constexpr int idsAhead = 40;
constexpr int randomIds = 8;
constexpr std::uint64_t maxDatagrams = 200000;

// Set by SIGTERM: the loops end and the count is still printed.
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

bool goOn(const QElapsedTimer& clock, qint64 limitMs, std::uint64_t sent)
{
    return stopRequested == 0 && clock.elapsed() < limitMs && sent < maxDatagrams;
}

const snmp::Oid sysName{1, 3, 6, 1, 2, 1, 1, 5, 0};
const snmp::Oid sysDescr{1, 3, 6, 1, 2, 1, 1, 1, 0};

struct Request {
    QHostAddress from;
    quint16 port = 0;
    snmp::Pdu pdu;
};

std::optional<Request> readRequest(QUdpSocket& socket)
{
    const QNetworkDatagram datagram = socket.receiveDatagram();
    const QByteArray data = datagram.data();
    const snmp::Decoded<snmp::Message> message = snmp::decodeMessage(
        {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())});
    const auto* pdu = message ? std::get_if<snmp::Pdu>(&message->pdu) : nullptr;
    if (!pdu || pdu->type != snmp::PduType::GetRequest || pdu->bindings.empty())
        return std::nullopt;
    return Request{datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()), *pdu};
}

std::vector<std::uint8_t> forgedAnswer(std::int32_t requestId, const snmp::Oid& object, const std::string& text)
{
    snmp::Pdu answer;
    answer.type = snmp::PduType::GetResponse;
    answer.requestId = requestId;
    answer.bindings = {{object, snmp::OctetString{snmp::Octets(text.begin(), text.end())}}};
    return snmp::encodeMessage(snmp::Message{snmp::versionV1, "mervik", answer});
}

void send(QUdpSocket& socket, const std::vector<std::uint8_t>& bytes, const Request& to)
{
    socket.writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()), to.from,
                         to.port);
}

std::uint64_t forgeFind(QUdpSocket& socket, const QElapsedTimer& clock, qint64 limitMs)
{
    std::uint64_t forged = 0;
    while (goOn(clock, limitMs, forged)) {
        if (!socket.waitForReadyRead(100))
            continue;
        while (socket.hasPendingDatagrams()) {
            const std::optional<Request> request = readRequest(socket);
            if (!request || request->pdu.bindings.front().oid != sysName)
                continue;
            send(socket, forgedAnswer(request->pdu.requestId, sysDescr, "FORGED by the attacker"), *request);
            ++forged;
        }
    }
    return forged;
}

std::uint64_t spray(QUdpSocket& socket, const QElapsedTimer& clock, qint64 limitMs)
{
    std::optional<Request> seen;
    while (!seen && goOn(clock, limitMs, 0)) {
        if (socket.waitForReadyRead(100) && socket.hasPendingDatagrams())
            seen = readRequest(socket);
    }
    if (!seen)
        return 0;
    const qint64 sprayFrom = clock.elapsed() + 3000;
    while (goOn(clock, limitMs, 0) && clock.elapsed() < sprayFrom)
        QThread::msleep(50);
    std::uint64_t sent = 0;
    while (goOn(clock, limitMs, sent)) {
        std::vector<std::int32_t> ids;
        for (int ahead = 1; ahead <= idsAhead; ++ahead)
            ids.push_back(static_cast<std::int32_t>((static_cast<std::uint32_t>(seen->pdu.requestId) + ahead) & 0x7FFFFFFF));
        for (int i = 0; i < randomIds; ++i)
            ids.push_back(static_cast<std::int32_t>(QRandomGenerator::global()->generate() & 0x7FFFFFFF));
        for (const std::int32_t id : ids) {
            for (std::uint32_t object = 1; object <= 7; ++object) {
                const snmp::Oid oid{1, 3, 6, 1, 2, 1, 1, object, 0};
                send(socket, forgedAnswer(id, oid, "SPOOFED " + snmp::formatOid(oid)), *seen);
                ++sent;
            }
        }
        QThread::msleep(10);
    }
    return sent;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3 || (arguments[1] != "spray" && arguments[1] != "forge-find")) {
        std::fprintf(stderr, "usage: lan_attacker spray|forge-find <seconds>\n");
        return 2;
    }
    const qint64 limitMs = std::clamp<qint64>(arguments[2].toLongLong(), 1, maxSeconds) * 1000;
    std::signal(SIGTERM, requestStop);
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::AnyIPv4), 161)) {
        std::fprintf(stderr, "lan_attacker: cannot listen on UDP 161: %s\n", qPrintable(socket.errorString()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    const std::uint64_t sent =
        arguments[1] == "spray" ? spray(socket, clock, limitMs) : forgeFind(socket, clock, limitMs);
    std::printf("sent %llu\n", static_cast<unsigned long long>(sent));
    return 0;
}
