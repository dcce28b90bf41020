#include "UdpEngine.h"

#include "BroadcastRoutes.h"
#include "Ipv4Text.h"
#include "SnmpError.h"

#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>
#include <utility>

namespace brellan {
namespace {

using Clock = RequestTable::Clock;

constexpr std::uint32_t limitedBroadcast = 0xFFFFFFFFu;

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// Why the system refused a datagram. Qt reports most send failures only as
// "Unable to send a message"; the C library's errno, still set right after
// the failed call, names the reason ("Network is unreachable", ...).
std::string refusal(const QUdpSocket& socket, int error)
{
    const std::string qtText = socket.errorString().toStdString();
    if (error == 0)
        return qtText;
    const std::string systemText = std::generic_category().message(error);
    return systemText == qtText ? qtText : systemText + " (" + qtText + ")";
}

std::string ipv4Text(const std::array<std::uint8_t, 4>& bytes)
{
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "."
           + std::to_string(bytes[3]);
}

std::string ipv4Text(std::uint32_t address)
{
    return ipv4Text({static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
                     static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)});
}

// The IPv4 source of a datagram (also when it reached a dual-stack socket
// as an IPv4-mapped IPv6 address); nullopt for anything else.
std::optional<std::uint32_t> ipv4Source(const QHostAddress& sender)
{
    bool ok = false;
    const std::uint32_t address = sender.toIPv4Address(&ok);
    return ok ? std::optional<std::uint32_t>(address) : std::nullopt;
}

QByteArray toByteArray(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// Reads the datagrams waiting on `socket`, at most datagramsPerPass, and
// hands each to `handle` with its sender. Returns true when it stopped at
// that limit, with more perhaps waiting.
//
// Each read goes into a buffer that holds the largest datagram, so one
// system call both sizes and takes it, and a pass ends with the read that
// finds nothing. That last read matters: the event loop may report a socket readable when nothing
// waits (Qt's GLib event dispatcher does so during a burst, from a readiness
// it saw before the datagrams were read). QUdpSocket then takes a datagram
// to be waiting and unread, and on its next notification stops watching the
// socket for good, until the program reads from it; the receiver would go
// deaf. A read attempt clears that belief.
template <typename Handle>
bool readPass(QUdpSocket& socket, std::vector<std::uint8_t>& buffer, int datagramsPerPass, Handle handle)
{
    QHostAddress sender;
    for (int read = 0; read < datagramsPerPass; ++read) {
        const qint64 size = socket.readDatagram(reinterpret_cast<char*>(buffer.data()),
                                                static_cast<qint64>(buffer.size()), &sender);
        if (size < 0)
            return false;
        handle(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(size)), sender);
    }
    return true;
}

} // namespace

UdpEngine::UdpEngine(QObject* parent) : UdpEngine(Settings{}, parent) {}

UdpEngine::UdpEngine(Settings settings, QObject* parent)
    : QObject(parent),
      m_settings(std::move(settings)),
      m_requests(std::max(m_settings.broadcastWindow, m_settings.retryInterval * (m_settings.retries + 1))),
      m_nextRequestId(static_cast<std::int32_t>(QRandomGenerator::global()->bounded(1, 1 << 30)))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UdpEngine::onTimer);

    // The request socket takes whatever port the system gives it; answers
    // come back to it from any address, broadcasts leave through it.
    if (!m_requestSocket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        qWarning("SNMP request socket cannot be opened: %s", qPrintable(m_requestSocket.errorString()));
    connect(&m_requestSocket, &QUdpSocket::readyRead, this, &UdpEngine::readRequestSocket);

    bindTrapSocket();
}

UdpEngine::~UdpEngine() = default;

void UdpEngine::bindTrapSocket()
{
    const QString port = QString::number(m_settings.trapPort);
    // DontShareAddress: another trap receiver on the port must make this
    // bind fail rather than silently split the traps with us.
    if (m_trapSocket.bind(m_settings.trapBindAddress, m_settings.trapPort, QAbstractSocket::DontShareAddress)) {
        // A burst of traps must wait in the kernel, not be dropped, while
        // the window is busy.
        m_trapSocket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(trapReceiveBuffer));
        connect(&m_trapSocket, &QUdpSocket::readyRead, this, &UdpEngine::readTrapSocket);
        return;
    }
    switch (m_trapSocket.error()) {
    case QAbstractSocket::AddressInUseError:
        m_trapProblem = QStringLiteral("Traps will not be received: UDP port %1 is in use by another program "
                                       "(stop the other trap receiver and start Brellan again).")
                            .arg(port);
        break;
    case QAbstractSocket::SocketAccessError:
        m_trapProblem = QStringLiteral("Traps will not be received: UDP port %1 needs privilege "
                                       "(run Brellan as root or grant it cap_net_bind_service).")
                            .arg(port);
        break;
    default:
        m_trapProblem = QStringLiteral("Traps will not be received: UDP port %1 on %2 cannot be opened (%3).")
                            .arg(port, m_settings.trapBindAddress.toString(), m_trapSocket.errorString());
        break;
    }
    qWarning("%s", qPrintable(m_trapProblem));
}

// --- Variable list and target ---

void UdpEngine::setVarCount(int count)
{
    if (count < 0 || count > maxVarCount) {
        throw SnmpError("VarCount must be between 0 and " + std::to_string(maxVarCount) + ", not "
                        + std::to_string(count));
    }
    m_variables.resize(static_cast<std::size_t>(count));
}

void UdpEngine::setVarOid(int index, const std::string& oid)
{
    if (index < 1 || index > static_cast<int>(m_variables.size())) {
        throw SnmpError("VarOid(" + std::to_string(index) + ") is out of range: VarCount is "
                        + std::to_string(m_variables.size()));
    }
    std::optional<snmp::Oid> parsed = snmp::parseOid(oid);
    if (!parsed)
        throw SnmpError("Invalid object identifier " + quoted(oid) + ": expected dotted decimal such as 1.3.6.1.2.1.1.5.0");
    Variable& slot = m_variables[static_cast<std::size_t>(index - 1)];
    slot.oidText = snmp::formatOid(*parsed);
    slot.oid = std::move(parsed);
    slot.value.clear();
}

const UdpEngine::Variable& UdpEngine::variable(const char* member, int index) const
{
    if (index < 1 || index > static_cast<int>(m_variables.size())) {
        throw SnmpError(std::string(member) + "(" + std::to_string(index) + ") is out of range: the variable list has "
                        + std::to_string(m_variables.size()) + " binding(s)");
    }
    return m_variables[static_cast<std::size_t>(index - 1)];
}

std::string UdpEngine::VarOid(int index) const
{
    return variable("VarOid", index).oidText;
}

std::string UdpEngine::VarValue(int index) const
{
    return variable("VarValue", index).value;
}

// The address is checked here, when it is written, so the error names the
// text the operator gave; a rejected address leaves no target behind, and a
// later send fails instead of reaching the previous agent.
void UdpEngine::setRemoteHost(const std::string& host)
{
    if (!parseIpv4Text(host)) {
        m_remoteHost.clear();
        throw SnmpError("Invalid agent address " + quoted(host)
                        + ": expected an IPv4 address in dotted decimal such as 192.168.1.20");
    }
    m_remoteHost = host;
}

std::string UdpEngine::RemoteHost() const
{
    return m_remoteHost;
}

void UdpEngine::Reset()
{
    m_requests.clear();
    m_events.dropResponses();
    m_variables.clear();
    scheduleTimer();
}

// --- Sending ---

void UdpEngine::SendGet()
{
    send(snmp::PduType::GetRequest);
}

void UdpEngine::SendGetNext()
{
    send(snmp::PduType::GetNextRequest);
}

std::vector<snmp::Oid> UdpEngine::requestOids() const
{
    if (m_variables.empty())
        throw SnmpError("Nothing to send: the variable list is empty (set VarCount and VarOid first)");
    std::vector<snmp::Oid> oids;
    oids.reserve(m_variables.size());
    for (std::size_t i = 0; i < m_variables.size(); ++i) {
        const std::optional<snmp::Oid>& oid = m_variables[i].oid;
        if (!oid)
            throw SnmpError("Nothing to send: VarOid(" + std::to_string(i + 1) + ") is not set");
        // An agent's answer may name an object no request can carry (BER
        // needs at least two sub-identifiers).
        if (oid->size() < 2 || oid->size() > snmp::maxOidLength) {
            throw SnmpError("Cannot send a request for VarOid(" + std::to_string(i + 1) + ") \""
                            + snmp::formatOid(*oid) + "\": not a valid object identifier");
        }
        oids.push_back(*oid);
    }
    return oids;
}

std::uint32_t UdpEngine::remoteAddress() const
{
    const std::optional<std::uint32_t> address = parseIpv4Text(m_remoteHost);
    if (!address)
        throw SnmpError("Nothing to send: no agent address is set (RemoteHost)");
    return *address;
}

std::int32_t UdpEngine::takeRequestId()
{
    const std::int32_t id = m_nextRequestId;
    m_nextRequestId = id == std::numeric_limits<std::int32_t>::max() ? 1 : id + 1;
    return id;
}

void UdpEngine::send(snmp::PduType type)
{
    std::vector<snmp::Oid> oids = requestOids();
    const std::uint32_t target = remoteAddress();
    const bool broadcast = target == limitedBroadcast;
    const std::int32_t id = takeRequestId();
    std::vector<std::uint8_t> datagram = snmp::encodeRequest(type, m_settings.community, id, oids);

    if (broadcast)
        sendBroadcast(datagram);
    else
        sendUnicast(datagram, target);
    ++m_counters.requests;

    RequestTable::Request request;
    request.requestId = id;
    request.type = type;
    request.firstOid = std::move(oids.front());
    request.target = target;
    request.broadcast = broadcast;
    request.retriesLeft = broadcast ? 0 : std::max(0, m_settings.retries);
    request.retryInterval = m_settings.retryInterval;
    const Clock::time_point now = Clock::now();
    request.deadline = now + (broadcast ? m_settings.broadcastWindow : m_settings.retryInterval);
    if (!broadcast)
        request.datagram = std::move(datagram);
    m_requests.add(std::move(request), now);
    scheduleTimer();
}

void UdpEngine::sendUnicast(const std::vector<std::uint8_t>& datagram, std::uint32_t target)
{
    const QByteArray bytes = toByteArray(datagram);
    errno = 0;
    if (m_requestSocket.writeDatagram(bytes, QHostAddress(target), m_settings.agentPort) < 0) {
        const int error = errno;
        throw SnmpError("Cannot send the request to " + ipv4Text(target) + ": " + refusal(m_requestSocket, error));
    }
}

void UdpEngine::sendBroadcast(const std::vector<std::uint8_t>& datagram)
{
    const QList<BroadcastRoute> routes = broadcastRoutes();
    if (routes.isEmpty()) {
        // No interface to choose: let the system route it, and report its refusal.
        const QByteArray bytes = toByteArray(datagram);
        errno = 0;
        if (m_requestSocket.writeDatagram(bytes, QHostAddress(QHostAddress::Broadcast), m_settings.agentPort) < 0) {
            const int error = errno;
            throw SnmpError("Cannot send the broadcast request to 255.255.255.255: "
                            + refusal(m_requestSocket, error));
        }
        return;
    }

    QString failures;
    int sent = 0;
    for (const BroadcastRoute& route : routes) {
        QNetworkDatagram out(toByteArray(datagram), QHostAddress(QHostAddress::Broadcast), m_settings.agentPort);
        out.setInterfaceIndex(static_cast<uint>(route.interfaceIndex));
        errno = 0;
        if (m_requestSocket.writeDatagram(out) >= 0) {
            ++sent;
            continue;
        }
        const int error = errno;
        const QString failure = route.interfaceName + ": " + QString::fromStdString(refusal(m_requestSocket, error));
        qWarning("SNMP broadcast not sent through %s", qPrintable(failure));
        failures += (failures.isEmpty() ? "" : "; ") + failure;
    }
    if (sent == 0)
        throw SnmpError("Cannot send the broadcast request to 255.255.255.255: " + failures.toStdString());
}

// --- Receiving ---

void UdpEngine::readRequestSocket()
{
    m_requestReadQueued = false;
    const bool more = readPass(m_requestSocket, m_datagram, datagramsPerPass,
                               [this](std::span<const std::uint8_t> bytes, const QHostAddress& sender) {
                                   handleResponse(bytes, sender);
                               });
    // More waiting: read them on a later pass, after the event loop has had
    // its turn, so a flood never freezes the window.
    if (more && !m_requestReadQueued) {
        m_requestReadQueued = true;
        QMetaObject::invokeMethod(this, &UdpEngine::readRequestSocket, Qt::QueuedConnection);
    }
}

void UdpEngine::readTrapSocket()
{
    m_trapReadQueued = false;
    const bool more = readPass(m_trapSocket, m_datagram, datagramsPerPass,
                               [this](std::span<const std::uint8_t> bytes, const QHostAddress& sender) {
                                   handleTrap(bytes, sender);
                               });
    if (more && !m_trapReadQueued) {
        m_trapReadQueued = true;
        QMetaObject::invokeMethod(this, &UdpEngine::readTrapSocket, Qt::QueuedConnection);
    }
}

void UdpEngine::handleResponse(std::span<const std::uint8_t> bytes, const QHostAddress& sender)
{
    const std::optional<std::uint32_t> source = ipv4Source(sender);
    snmp::DecodeResult decoded = snmp::decodeMessage(bytes);
    auto* message = std::get_if<snmp::Message>(&decoded);
    if (!message || !source) {
        ++m_counters.malformed;
        return;
    }
    if (message->version != snmp::versionV1 || message->community != m_settings.community
        || message->type != snmp::PduType::GetResponse) {
        ++m_counters.unmatched;
        return;
    }
    switch (m_requests.classify(message->requestId, *source)) {
    case RequestTable::Answer::Unknown: ++m_counters.unmatched; return;
    case RequestTable::Answer::Duplicate: ++m_counters.duplicates; return;
    case RequestTable::Answer::New: break;
    }
    // The core reads binding 1 of every answer: one without bindings is broken.
    if (message->bindings.empty()) {
        ++m_counters.malformed;
        return;
    }

    const Clock::time_point now = Clock::now();
    const RequestTable::Request* request = m_requests.find(message->requestId);
    // Walk guard: an answer to GetNext that does not move past the object
    // asked for (an agent at the end of its view echoing the request with
    // noSuchName, or a broken agent) would make the walk ask the same
    // question forever. Such an answer ends the request without an event.
    if (request->type == snmp::PduType::GetNextRequest && !(message->bindings.front().oid > request->firstOid)) {
        ++m_counters.notAdvancing;
        if (request->broadcast)
            m_requests.accept(message->requestId, *source, now);
        else
            m_requests.complete(message->requestId, now);
        scheduleTimer();
        return;
    }

    m_requests.accept(message->requestId, *source, now);
    scheduleTimer();
    deliverResponse(message->errorStatus, std::move(message->bindings), ipv4Text(*source));
}

void UdpEngine::deliverResponse(std::int32_t errorStatus, std::vector<snmp::VarBind> bindings,
                                const std::string& from)
{
    m_events.post(EventQueue::Kind::Response, [this, errorStatus, bindings = std::move(bindings), from] {
        // The handler reads the answer through VarOid(i)/VarValue(i), and
        // SendGetNext asks for what follows it.
        m_variables.clear();
        for (const snmp::VarBind& binding : bindings)
            m_variables.push_back({binding.oid, snmp::formatOid(binding.oid), snmp::valueText(binding.value)});
        ++m_counters.responses;
        raiseResponse(errorStatus, from);
    });
}

void UdpEngine::handleTrap(std::span<const std::uint8_t> bytes, const QHostAddress& sender)
{
    const std::optional<std::uint32_t> source = ipv4Source(sender);
    const snmp::DecodeResult decoded = snmp::decodeMessage(bytes);
    const auto* message = std::get_if<snmp::Message>(&decoded);
    if (!message || !source) {
        ++m_counters.malformed;
        return;
    }
    // Traps are taken whatever their community.
    const std::optional<snmp::TrapInfo> info = snmp::trapInfo(*message);
    if (!info) {
        ++m_counters.unmatched;
        return;
    }
    const std::string from = info->agentAddress ? ipv4Text(*info->agentAddress) : ipv4Text(*source);
    const std::int32_t generic = info->genericTrap;
    const std::int32_t specific = info->specificTrap;
    m_events.post(EventQueue::Kind::Trap, [this, generic, specific, from] {
        ++m_counters.traps;
        raiseTrap(generic, specific, from);
    });
}

// --- Retries and windows ---

void UdpEngine::onTimer()
{
    const RequestTable::Due due = m_requests.takeDue(Clock::now());
    m_counters.timeouts += static_cast<std::uint64_t>(due.timedOut);
    for (const RequestTable::Request* request : due.resend) {
        // Same datagram, same request id: an answer to any copy completes it.
        ++m_counters.retries;
        if (m_requestSocket.writeDatagram(toByteArray(request->datagram), QHostAddress(request->target),
                                          m_settings.agentPort)
            < 0) {
            qWarning("SNMP request to %s not sent again: %s", ipv4Text(request->target).c_str(),
                     qPrintable(m_requestSocket.errorString()));
        }
    }
    scheduleTimer();
}

// A timer already armed for an earlier moment is left alone: when it
// fires, onTimer finds nothing due and arms it for the next deadline. A walk
// thus arms the timer about once a second instead of twice per answer.
void UdpEngine::scheduleTimer()
{
    const std::optional<Clock::time_point> next = m_requests.nextDeadline();
    if (!next || (m_timer.isActive() && m_timerDue <= *next))
        return;
    m_timerDue = *next;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
    m_timer.start(std::max(wait, std::chrono::milliseconds(0)));
}

// --- Diagnosis ---

QString UdpEngine::trapReceiverProblem() const
{
    return m_trapProblem;
}

std::uint16_t UdpEngine::boundTrapPort() const
{
    return m_trapSocket.state() == QAbstractSocket::BoundState ? m_trapSocket.localPort() : 0;
}

UdpEngine::Counters UdpEngine::counters() const
{
    Counters counters = m_counters;
    counters.overflowed = m_events.overflowed();
    return counters;
}

} // namespace brellan
