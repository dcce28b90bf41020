// SPDX-License-Identifier: GPL-3.0-or-later
// The trap list at scale, in the real window (Form1, offscreen):
//
//   bench_traplist --lines 1000000
//     appends the lines through Form1::appendTrapLine, lets the list view
//     take them in and repaints it; prints the time, the resident memory it
//     cost, that memory per line beyond the text itself, and the process's
//     resident size.
//
//   bench_traplist --stall --sender PATH [--rate 20000] [--seconds 10 | --count N]
//                  [--prefill LINES [--prefill-details]] [--freeze-ms MS --freezes K]
//                  [--payload-bytes N]
//     fills the list with LINES lines first (with --prefill-details, each
//     with a typical trap's details, so the detail store holds them); then, while bench_trap_send
//     sends traps to the window's engine on 127.0.0.1 (--rate 0: as fast
//     as it can), a 1 ms timer measures the gaps between its ticks: the
//     longest gap is the longest time the window could not react. With
//     --freezes the GUI thread sleeps MS milliseconds K times during the
//     flood. Prints what was sent, logged and lost (and where: the trap
//     queue or the kernel's receive buffers), and lines logged per second
//     from the first datagram sent to the last line logged; the details kept
//     (the window keeps each trap's datagram) and the datagram bytes the
//     engine passed on per trap; and the resident size before the flood and
//     after. --payload-bytes makes each trap carry that many random bytes.
//
// Output: key=value lines.

#include "BenchSupport.h"
#include "ChildProcess.h"
#include "Form1.h"
#include "TrapListModel.h"
#include "TypicalTraps.h"
#include "UdpEngine.h"

#include <QApplication>
#include <QListView>
#include <QTimer>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

using namespace brellan;
using bench::steadyNs;

struct Window {
    UdpEngine* engine = nullptr; // owned by form
    std::unique_ptr<Form1> form;
    TrapListModel* lines = nullptr; // the trap list's model, owned by form
};

Window openWindow()
{
    UdpEngine::Settings settings;
    settings.trapPort = 0;
    settings.trapBindAddress = QHostAddress(QHostAddress::LocalHost);
    auto engine = std::make_unique<UdpEngine>(settings);
    Window window;
    window.engine = engine.get();
    window.form = std::make_unique<Form1>(std::move(engine));
    window.form->show();
    window.lines = qobject_cast<TrapListModel*>(
        window.form->findChild<QListView*>(QStringLiteral("lstTrapList"))->model());
    // Let the first layout and paint happen before anything is measured.
    const std::int64_t until = steadyNs() + 300'000'000;
    while (steadyNs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return window;
}

// Lines as traps give them: an address and one of the trap texts.
class LineMaker {
public:
    const std::string& next(std::size_t i)
    {
        m_line = "10.";
        appendNumber((i >> 16) & 0xFF);
        m_line += '.';
        appendNumber((i >> 8) & 0xFF);
        m_line += '.';
        appendNumber(i & 0xFF);
        if (i % 4 == 0) {
            m_line += " enterpriseSpecific: ";
            appendNumber(i % 1000);
        } else {
            m_line += i % 4 == 1 ? " linkDown" : i % 4 == 2 ? " linkUp" : " coldStart";
        }
        return m_line;
    }

private:
    void appendNumber(std::size_t value)
    {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        m_line.append(digits, result.ptr);
    }
    std::string m_line;
};

int runScale(std::int64_t lines)
{
    Window window = openWindow();
    auto* view = window.form->findChild<QListView*>(QStringLiteral("lstTrapList"));
    if (!view)
        return 1;
    LineMaker maker;
    std::int64_t textBytes = 0;

    const std::int64_t rssBefore = bench::residentBytes();
    const std::int64_t start = steadyNs();
    for (std::int64_t i = 0; i < lines; ++i) {
        const std::string& line = maker.next(static_cast<std::size_t>(i));
        textBytes += static_cast<std::int64_t>(line.size());
        window.form->appendTrapLine(line);
    }
    const std::int64_t appended = steadyNs();
    // The list takes the lines in on the next pass of the event loop.
    while (window.lines->rowCount() < lines)
        QCoreApplication::processEvents();
    view->scrollToBottom();
    view->viewport()->repaint();
    const std::int64_t shown = steadyNs();
    const std::int64_t rssAfter = bench::residentBytes();

    std::printf("lines=%lld\nappend_s=%.3f\ntotal_s=%.3f\nrss_delta_mb=%.1f\ntext_mb=%.1f\n"
                "bytes_per_line_beyond_text=%.1f\nrss_mb=%.1f\n",
                static_cast<long long>(lines), static_cast<double>(appended - start) / 1e9,
                static_cast<double>(shown - start) / 1e9, static_cast<double>(rssAfter - rssBefore) / 1048576.0,
                static_cast<double>(textBytes) / 1048576.0,
                static_cast<double>(rssAfter - rssBefore - textBytes) / static_cast<double>(lines),
                static_cast<double>(rssAfter) / 1048576.0);
    const std::string_view last = window.lines->line(static_cast<std::size_t>(lines - 1));
    return last == maker.next(static_cast<std::size_t>(lines - 1)) ? 0 : 1;
}

// Puts `lines` lines into the trap list, with a typical trap's details
// each if asked, and lets the view take them in.
void prefill(Window& window, std::int64_t lines, bool withDetails)
{
    LineMaker maker;
    bench::TypicalTraps traps;
    TrapListModel& model = *window.lines;
    for (std::int64_t i = 0; i < lines; ++i) {
        if (!withDetails) {
            window.form->appendTrapLine(maker.next(static_cast<std::size_t>(i)));
            continue;
        }
        const bench::RaisedTrap& trap = traps.next();
        window.form->appendTrapLine(trap.agentAddress + " enterpriseSpecific: 17");
        model.keepTrap(model.lineCount() - 1, trap.trap);
    }
    const std::int64_t until = steadyNs() + 300'000'000;
    while (steadyNs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

struct Flood {
    std::int64_t rate = 20000; // traps per second; 0: as fast as the sender can
    std::int64_t count = 0;    // traps to send
    std::int64_t prefill = 0;  // lines in the list before the first trap
    bool prefillDetails = false; // ... each with a typical trap's details
    std::int64_t payloadBytes = 0; // random bytes each trap carries
    std::int64_t freezeMs = 0; // the GUI thread is made to stall this long...
    std::int64_t freezes = 0;  // ...this many times, spread evenly over the flood
};

int runFlood(const std::string& sender, const Flood& flood)
{
    Window window = openWindow();
    prefill(window, flood.prefill, flood.prefillDetails);
    const std::int64_t rssBefore = bench::residentBytes();
    std::vector<double> gapsMs;
    gapsMs.reserve(static_cast<std::size_t>(flood.count / 10 + 20000));
    std::int64_t lastTick = steadyNs();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const std::int64_t now = steadyNs();
        gapsMs.push_back(static_cast<double>(now - lastTick) / 1e6);
        lastTick = now;
    });
    ticker.start(1);
    std::int64_t lastLineNs = 0;
    std::int64_t datagramBytes = 0;
    window.engine->Trap().connect([&](std::int32_t, std::int32_t, const std::string&, const ReceivedTrap& trap) {
        lastLineNs = steadyNs();
        datagramBytes += static_cast<std::int64_t>(trap.datagram.size());
    });

    // A stand-in for a slow repaint or a modal drag: the GUI thread sleeps.
    const std::int64_t floodMs = flood.rate > 0 ? flood.count * 1000 / flood.rate : 1000;
    for (std::int64_t k = 1; k <= flood.freezes; ++k)
        QTimer::singleShot(static_cast<int>(k * floodMs / (flood.freezes + 1)), [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(flood.freezeMs));
        });

    const long long kernelDropsBefore = bench::udpReceiveBufferErrors();
    const std::int64_t capMs = floodMs + 10000;
    bench::ChildProcess burst(sender,
                              {"--port", std::to_string(window.engine->boundTrapPort()), "--count",
                               std::to_string(flood.count), "--rate", std::to_string(flood.rate), "--cap-ms",
                               std::to_string(capMs), "--payload-bytes", std::to_string(flood.payloadBytes)},
                              "/tmp/bench_traplist_send.out");
    if (!burst.started())
        return 1;
    const std::int64_t cap = steadyNs() + (capMs + 5000) * 1'000'000;
    while (!burst.finished() && steadyNs() < cap)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // Then until no line has come for half a second.
    const std::int64_t senderEnd = steadyNs();
    while (steadyNs() - std::max(lastLineNs, senderEnd) < 500'000'000 && steadyNs() < cap)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ticker.stop();

    auto sent = burst.keyValues();
    const auto logged = static_cast<long long>(window.lines->lineCount()) - flood.prefill;
    const double seconds = static_cast<double>(lastLineNs - sent["start_ns"]) / 1e9;
    const UdpEngine::Counters counters = window.engine->counters();
    std::printf("prefill=%lld\nsent=%lld\nlogged=%lld\nlost=%lld\nseconds=%.3f\nper_s=%.0f\nticks=%zu\n"
                "max_gap_ms=%.1f\np999_gap_ms=%.2f\nmedian_gap_ms=%.2f\nqueue_dropped=%llu\nkernel_dropped=%lld\n"
                "rss_before_mb=%.1f\nrss_mb=%.1f\n",
                static_cast<long long>(flood.prefill), sent["sent"], logged, sent["sent"] - logged, seconds,
                seconds > 0 ? static_cast<double>(logged) / seconds : 0.0, gapsMs.size(),
                bench::percentile(gapsMs, 1.0), bench::percentile(gapsMs, 0.999), bench::percentile(gapsMs, 0.5),
                static_cast<unsigned long long>(counters.trapsDropped), bench::udpReceiveBufferErrors() - kernelDropsBefore,
                static_cast<double>(rssBefore) / 1048576.0, static_cast<double>(bench::residentBytes()) / 1048576.0);
    const TrapDetailStore& details = window.lines->details();
    std::printf("details_kept=%zu\ndetails_let_go=%zu\ndetails_mb=%.1f\ndatagram_bytes_per_trap=%.1f\n",
                details.keptCount(), details.letGoCount(), static_cast<double>(details.memoryBytes()) / 1048576.0,
                logged > 0 ? static_cast<double>(datagramBytes) / static_cast<double>(logged) : 0.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bench::Arguments args(argc, argv);
    if (args.flag("--stall")) {
        const std::string sender = args.text("--sender");
        if (sender.empty()) {
            std::fprintf(stderr, "usage: bench_traplist --stall --sender PATH [--rate R] [--seconds S | --count N]\n"
                                 "                      [--prefill LINES [--prefill-details]] [--freeze-ms MS --freezes K]\n"
                                 "                      [--payload-bytes N]\n");
            return 2;
        }
        Flood flood;
        flood.rate = std::clamp<std::int64_t>(args.number("--rate", 20000), 0, 1'000'000);
        const std::int64_t seconds = std::clamp<std::int64_t>(args.number("--seconds", 10), 1, 60);
        flood.count = std::clamp<std::int64_t>(args.number("--count", flood.rate * seconds), 1, 10'000'000);
        flood.prefill = std::clamp<std::int64_t>(args.number("--prefill", 0), 0, 50'000'000);
        flood.prefillDetails = args.flag("--prefill-details");
        flood.payloadBytes = std::clamp<std::int64_t>(args.number("--payload-bytes", 0), 0, 65000);
        flood.freezeMs = std::clamp<std::int64_t>(args.number("--freeze-ms", 0), 0, 5000);
        flood.freezes = std::clamp<std::int64_t>(args.number("--freezes", 0), 0, 10);
        return runFlood(sender, flood);
    }
    return runScale(std::clamp<std::int64_t>(args.number("--lines", 1'000'000), 1, 50'000'000));
}
