// SPDX-License-Identifier: GPL-3.0-or-later
// Trap ingest through the program's own path: the real UdpEngine receives
// on 127.0.0.1 (or, with --ipv6, on ::1), Module1::onTrap formats each trap into the trap log
// (MemoryState). The burst comes from bench_trap_send, started here once
// the socket is bound.
//
//   bench_trap_ingest --sender PATH [--count 100000] [--rate 50000 | 0]
//                     [--settle-ms 1000] [--cap-ms 30000] [--ipv6]
//
// Prints key=value lines: sent, logged, lost, seconds (from the first datagram
// sent to the last line logged), per_s (lines logged per second of that),
// malformed and overflowed (the engine's own drop counters).
// The sender's output goes to --sender-output (default /tmp/bench_trap_send.out).

#include "BenchSupport.h"
#include "ChildProcess.h"
#include "MemoryState.h"
#include "Module1.h"
#include "UdpEngine.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

using namespace brellan;
using bench::steadyNs;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::Arguments args(argc, argv);
    const QString sender = QString::fromStdString(args.text("--sender"));
    const std::int64_t count = args.number("--count", 100000);
    const std::int64_t rate = args.number("--rate", 0);
    const std::int64_t settleNs = args.number("--settle-ms", 1000) * 1'000'000;
    const int capMs = static_cast<int>(std::clamp<std::int64_t>(args.number("--cap-ms", 30000), 1000, 120000));
    if (sender.isEmpty()) {
        std::fprintf(stderr, "usage: bench_trap_ingest --sender PATH [--count N] [--rate R]\n");
        return 2;
    }

    UdpEngine::Settings settings;
    settings.trapPort = 0;
    settings.trapBindAddress = QHostAddress(QHostAddress::LocalHost);
    settings.trapBindAddress6 = QHostAddress(QHostAddress::LocalHostIPv6);
    const bool ipv6 = args.flag("--ipv6");
    UdpEngine engine(settings);
    if (engine.boundTrapPort() == 0) {
        std::fprintf(stderr, "the trap socket is not bound: %s\n", qPrintable(engine.trapReceiverProblem()));
        return 1;
    }
    MemoryState state;
    Module1 module(state, engine);
    state.trapLines.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));

    std::int64_t lastLineNs = 0;
    engine.Trap().connect([&](std::int32_t generic, std::int32_t specific, const std::string& from,
                              const ReceivedTrap&) {
        module.onTrap(generic, specific, from);
        lastLineNs = steadyNs();
        if (static_cast<std::int64_t>(state.trapLines.size()) >= count)
            app.exit(0);
    });

    // Once the sender is done, stop when no line has arrived for settleNs.
    const std::string outputPath = args.text("--sender-output", "/tmp/bench_trap_send.out");
    std::vector<std::string> senderArguments{"--port", std::to_string(engine.boundTrapPort()), "--count",
                                             std::to_string(count), "--rate", std::to_string(rate), "--cap-ms",
                                             std::to_string(capMs)};
    if (ipv6)
        senderArguments.push_back("--ipv6");
    bench::ChildProcess burst(sender.toStdString(), senderArguments, outputPath);
    if (!burst.started()) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(sender));
        return 1;
    }
    std::int64_t senderEndNs = 0;
    QTimer settle;
    QObject::connect(&settle, &QTimer::timeout, &app, [&] {
        if (senderEndNs == 0 && burst.finished())
            senderEndNs = steadyNs();
        if (senderEndNs != 0 && steadyNs() - std::max(lastLineNs, senderEndNs) > settleNs)
            app.exit(0);
    });
    settle.start(20);
    QTimer::singleShot(capMs, &app, [&] { app.exit(0); });
    app.exec();
    burst.wait();

    std::map<std::string, long long> sent = burst.keyValues();
    const auto logged = static_cast<long long>(state.trapLines.size());
    const double seconds = logged > 0 ? static_cast<double>(lastLineNs - sent["start_ns"]) / 1e9 : 0.0;
    const UdpEngine::Counters counters = engine.counters();
    std::printf("sent=%lld\nlogged=%lld\nlost=%lld\nseconds=%.3f\nper_s=%.0f\nsend_seconds=%.3f\n"
                "malformed=%llu\noverflowed=%llu\n",
                sent["sent"], logged, sent["sent"] - logged, seconds, seconds > 0 ? logged / seconds : 0.0,
                static_cast<double>(sent["end_ns"] - sent["start_ns"]) / 1e9,
                static_cast<unsigned long long>(counters.malformed),
                static_cast<unsigned long long>(counters.overflowed));
    const bool lineOk = !state.trapLines.empty() && state.trapLines.front() == "127.0.0.1 enterpriseSpecific: 17";
    if (!lineOk) {
        std::fprintf(stderr, "unexpected trap line: %s\n", state.trapLines.empty() ? "(none)" : state.trapLines.front().c_str());
        return 1;
    }
    return 0;
}
