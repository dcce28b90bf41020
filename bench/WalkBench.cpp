// SPDX-License-Identifier: GPL-3.0-or-later
// Walk latency: the system group of an agent on 127.0.0.1 (a GetRequest for
// sysDescr.0, then GetNext until an object outside the group answers),
// timed three ways in one process, interleaved in rounds so that all three
// see the same machine:
//   brellan: Module1 over MemoryState and the real UdpEngine, driven by a
//            QCoreApplication event loop, started with selectAgent();
//   netsnmp: Net-SNMP's library, snmp_synch_response, each value printed
//            to text as the window would show it;
//   floor:   a bare UDP socket sending pre-encoded requests and waiting for
//            each answer, decoding nothing.
//
//   bench_walk --port P [--walks 1000] [--round 100] [--community mervik]
//              [--ways brellan,netsnmp,floor] [--ipv6]
//
// With --ipv6 the agent is asked at ::1 (it must listen there too), each
// way over IPv6.
//
// Prints one line per way: "walk <way> median_us=.. p99_us=.. walks=.. steps=.."

#include "BenchSupport.h"
#include "ConnectManager.h"
#include "MemoryState.h"
#include "Message.h"
#include "Module1.h"
#include "UdpEngine.h"

#include <QCoreApplication>
#include <QTimer>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

using namespace brellan;
using bench::steadyNs;

// sysDescr.0 .. sysServices.0
const std::vector<snmp::Oid>& systemOids()
{
    static const std::vector<snmp::Oid> oids = [] {
        std::vector<snmp::Oid> list;
        for (std::uint32_t object = 1; object <= 7; ++object)
            list.push_back({1, 3, 6, 1, 2, 1, 1, object, 0});
        return list;
    }();
    return oids;
}

bool inSystemGroup(const snmp::Oid& oid)
{
    return std::find(systemOids().begin(), systemOids().end(), oid) != systemOids().end();
}

struct Sample {
    double micros = 0;
    int steps = 0; // answers received in the walk
};

// `walks` samples of one way, one walk after the other.
template <typename WalkOnce>
std::vector<Sample> repeatWalks(int walks, WalkOnce walkOnce)
{
    std::vector<Sample> samples;
    samples.reserve(static_cast<std::size_t>(walks));
    for (int i = 0; i < walks; ++i)
        samples.push_back(walkOnce());
    return samples;
}

// --- Brellan: the core and the real engine ---

class BrellanWalker {
public:
    BrellanWalker(QCoreApplication& app, std::uint16_t port, const std::string& community, bool ipv6) : m_app(app)
    {
        UdpEngine::Settings settings;
        settings.community = community;
        settings.agentPort = port;
        settings.trapPort = 0;
        settings.trapBindAddress = QHostAddress(QHostAddress::LocalHost);
        m_engine = std::make_unique<UdpEngine>(settings);
        m_module = std::make_unique<Module1>(m_state, *m_engine);
        // Wired as the window wires it; the walk's end is seen after the
        // manager has handled each answer.
        connectManager(*m_engine, *m_module);
        m_engine->Response().connect([this](std::int32_t, const std::string&) { afterResponse(); });
        // The agent row the walks select, added the way the operator adds one.
        m_state.address = ipv6 ? "::1" : "127.0.0.1";
        m_state.name = "bench";
        m_module->addAgent();
        m_state.selectedRow = 0;
    }

    std::vector<Sample> run(int walks)
    {
        m_samples.clear();
        m_remaining = walks;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        armWatchdog(watchdog, walks);
        QMetaObject::invokeMethod(&m_app, [this] { startWalk(); }, Qt::QueuedConnection);
        if (m_app.exec() != 0)
            throw std::runtime_error("brellan walk stalled: " + std::to_string(m_samples.size()) + " walks done");
        return m_samples;
    }

    const MemoryState& state() const { return m_state; }

private:
    void armWatchdog(QTimer& watchdog, int walks)
    {
        // A lost datagram costs one retry interval (1 s); far more than that
        // per walk means the agent is gone.
        QObject::connect(&watchdog, &QTimer::timeout, &m_app, [this] { m_app.exit(1); });
        watchdog.start(10000 + walks * 100);
    }

    void startWalk()
    {
        m_steps = 0;
        m_startNs = steadyNs();
        m_module->selectAgent();
        m_requestsSeen = m_engine->counters().requests;
    }

    // The walk ends with the first answer outside the group: the one after
    // which the manager sent nothing more.
    void afterResponse()
    {
        ++m_steps;
        const std::uint64_t requests = m_engine->counters().requests;
        if (requests != std::exchange(m_requestsSeen, requests))
            return;
        m_samples.push_back({static_cast<double>(steadyNs() - m_startNs) / 1000.0, m_steps});
        if (--m_remaining > 0)
            QMetaObject::invokeMethod(&m_app, [this] { startWalk(); }, Qt::QueuedConnection);
        else
            m_app.exit(0);
    }

    QCoreApplication& m_app;
    MemoryState m_state;
    std::unique_ptr<UdpEngine> m_engine;
    std::unique_ptr<Module1> m_module;
    std::vector<Sample> m_samples;
    int m_remaining = 0;
    int m_steps = 0;
    std::uint64_t m_requestsSeen = 0;
    std::int64_t m_startNs = 0;
};

// --- Net-SNMP's library, synchronous API ---

class NetSnmpWalker {
public:
    NetSnmpWalker(std::uint16_t port, const std::string& community, bool ipv6)
    {
        // Numeric object identifiers only, as Brellan has no MIB either
        // (unless the caller chose MIBS): no MIB files are read.
        setenv("MIBS", "", 0);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        init_snmp("bench_walk");
        netsnmp_session session;
        snmp_sess_init(&session);
        m_peer = (ipv6 ? "udp6:[::1]:" : "udp:127.0.0.1:") + std::to_string(port);
        m_community = community;
        session.peername = m_peer.data();
        session.version = SNMP_VERSION_1;
        session.community = reinterpret_cast<u_char*>(m_community.data());
        session.community_len = m_community.size();
        session.retries = 2;
        session.timeout = 1000000;
        m_session = snmp_open(&session);
        if (!m_session)
            throw std::runtime_error("snmp_open failed");
    }
    ~NetSnmpWalker()
    {
        snmp_close(m_session);
        snmp_shutdown("bench_walk");
    }
    NetSnmpWalker(const NetSnmpWalker&) = delete;
    NetSnmpWalker& operator=(const NetSnmpWalker&) = delete;

    std::vector<Sample> run(int walks) { return repeatWalks(walks, [this] { return walk(); }); }

private:
    Sample walk()
    {
        const std::int64_t start = steadyNs();
        std::vector<oid> name(systemOids().front().begin(), systemOids().front().end());
        int type = SNMP_MSG_GET;
        int steps = 0;
        for (;;) {
            netsnmp_pdu* request = snmp_pdu_create(type);
            snmp_add_null_var(request, name.data(), name.size());
            netsnmp_pdu* response = nullptr;
            if (snmp_synch_response(m_session, request, &response) != STAT_SUCCESS || !response
                || !response->variables) {
                if (response)
                    snmp_free_pdu(response);
                throw std::runtime_error("Net-SNMP request failed");
            }
            ++steps;
            const netsnmp_variable_list* binding = response->variables;
            snprint_value(m_text, sizeof m_text, binding->name, binding->name_length, binding);
            name.assign(binding->name, binding->name + binding->name_length);
            snmp_free_pdu(response);
            if (!inSystemGroup(snmp::Oid(name.begin(), name.end())))
                break;
            type = SNMP_MSG_GETNEXT;
        }
        return {static_cast<double>(steadyNs() - start) / 1000.0, steps};
    }

    std::string m_peer;
    std::string m_community;
    netsnmp_session* m_session = nullptr;
    char m_text[1024] = {};
};

// --- The floor: pre-encoded requests over a bare socket ---

class FloorWalker {
public:
    FloorWalker(std::uint16_t port, const std::string& community, bool ipv6)
    {
        m_requests.push_back(snmp::encodeRequest(snmp::PduType::GetRequest, community, 1, {systemOids()[0]}));
        for (std::size_t i = 0; i < systemOids().size(); ++i) {
            m_requests.push_back(snmp::encodeRequest(snmp::PduType::GetNextRequest, community,
                                                     static_cast<std::int32_t>(i + 2), {systemOids()[i]}));
        }
        m_socket = bench::connectedLoopbackSocket(port, ipv6);
        const timeval timeout{2, 0};
        if (m_socket < 0 || setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) < 0)
            throw std::runtime_error("cannot open the floor socket");
    }
    ~FloorWalker() { close(m_socket); }
    FloorWalker(const FloorWalker&) = delete;
    FloorWalker& operator=(const FloorWalker&) = delete;

    std::vector<Sample> run(int walks) { return repeatWalks(walks, [this] { return walk(); }); }

private:
    Sample walk()
    {
        const std::int64_t start = steadyNs();
        for (const std::vector<std::uint8_t>& request : m_requests) {
            if (send(m_socket, request.data(), request.size(), 0) < 0 || recv(m_socket, m_answer, sizeof m_answer, 0) <= 0)
                throw std::runtime_error("floor exchange failed");
        }
        return {static_cast<double>(steadyNs() - start) / 1000.0, static_cast<int>(m_requests.size())};
    }

    std::vector<std::vector<std::uint8_t>> m_requests;
    int m_socket = -1;
    std::uint8_t m_answer[2048] = {};
};

void report(const char* way, const std::vector<Sample>& samples)
{
    std::vector<double> micros;
    int minSteps = samples.empty() ? 0 : samples.front().steps;
    int maxSteps = minSteps;
    for (const Sample& sample : samples) {
        micros.push_back(sample.micros);
        minSteps = std::min(minSteps, sample.steps);
        maxSteps = std::max(maxSteps, sample.steps);
    }
    std::printf("walk %s median_us=%.1f p99_us=%.1f walks=%zu steps=%d", way, bench::percentile(micros, 0.5),
                bench::percentile(micros, 0.99), samples.size(), minSteps);
    if (maxSteps != minSteps)
        std::printf("..%d", maxSteps);
    std::printf("\n");
}

void append(std::vector<Sample>& all, const std::vector<Sample>& more)
{
    all.insert(all.end(), more.begin(), more.end());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::Arguments args(argc, argv);
    const auto port = static_cast<std::uint16_t>(args.number("--port", 0));
    const int walks = static_cast<int>(std::clamp<std::int64_t>(args.number("--walks", 1000), 1, 100000));
    const int round = static_cast<int>(std::clamp<std::int64_t>(args.number("--round", 100), 1, walks));
    const std::string community = args.text("--community", "mervik");
    // For profiling one way alone, e.g. --ways brellan.
    const std::string ways = args.text("--ways", "brellan,netsnmp,floor");
    // The agent at ::1 instead of 127.0.0.1, over IPv6 all three ways.
    const bool ipv6 = args.flag("--ipv6");
    if (port == 0) {
        std::fprintf(stderr, "usage: bench_walk --port P [--walks N] [--round N] [--community C]\n");
        return 2;
    }

    try {
        BrellanWalker brellanWalker(app, port, community, ipv6);
        NetSnmpWalker netSnmpWalker(port, community, ipv6);
        FloorWalker floorWalker(port, community, ipv6);

        // Warm up every path (agent caches, page faults, first allocations).
        brellanWalker.run(20);
        netSnmpWalker.run(20);
        floorWalker.run(20);
        if (brellanWalker.state().systemValue(SystemObject::sysName).empty()) {
            std::fprintf(stderr, "the walk filled no sysName: is the agent answering with this community?\n");
            return 1;
        }

        std::vector<Sample> brellan, netsnmp, floor;
        for (int done = 0; done < walks; done += round) {
            const int n = std::min(round, walks - done);
            if (ways.find("floor") != std::string::npos)
                append(floor, floorWalker.run(n));
            if (ways.find("netsnmp") != std::string::npos)
                append(netsnmp, netSnmpWalker.run(n));
            if (ways.find("brellan") != std::string::npos)
                append(brellan, brellanWalker.run(n));
        }
        if (!brellan.empty())
            report("brellan", brellan);
        if (!netsnmp.empty())
            report("netsnmp", netsnmp);
        if (!floor.empty())
            report("floor", floor);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_walk: %s\n", error.what());
        return 1;
    }
    return 0;
}
