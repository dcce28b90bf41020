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
//   bench_traplist --stall ... --find NEEDLE
//     as above, and types NEEDLE into the trap list's find field as the
//     flood starts, and again each time a search ends, so that searches run
//     throughout; prints how many ended (searches=) besides the rest.
//
//   bench_traplist --find-times [--lines 10000000] [--text-only | --v2c]
//     fills the list with LINES lines, each with a typical trap's details
//     kept (none with --text-only; with --v2c the traps are SNMPv2c, each
//     with its own request-id and sysUpTime.0), a few of them planted: a line's text
//     1,000 lines from the top and 1,000 from the end, and at the middle a
//     trap of the community "far-rack@7". Then, from the first line each time, types needles into
//     the find field and prints, for each, the time from the keystroke to
//     the field's answer, the answer, the time until the matches are
//     counted too (a match found is then counted) and what the field then
//     says, and the longest gap of a 1 ms timer meanwhile.
//
// Output: key=value lines.

#include "BenchSupport.h"
#include "ChildProcess.h"
#include "FindBar.h"
#include "Form1.h"
#include "TrapListModel.h"
#include "TypicalTraps.h"
#include "UdpEngine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTimer>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
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

// The trap list's find field, opened, with the line beside it that answers.
class FindField {
public:
    explicit FindField(Form1& form)
        : m_bar(form.findChild<FindBar*>()), m_field(form.findChild<QLineEdit*>(QStringLiteral("txtFind"))),
          m_answer(form.findChild<QLabel*>(QStringLiteral("lblFind"))),
          m_list(form.findChild<QListView*>(QStringLiteral("lstTrapList")))
    {
        m_bar->open();
    }

    // Types the needle afresh, as one keystroke, from the first line.
    void type(const QString& needle)
    {
        m_field->clear();
        m_list->setCurrentIndex(m_list->model()->index(0, 0));
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, needle);
        QCoreApplication::sendEvent(m_field, &key);
    }
    bool answered() const { return m_answer->text() != QStringLiteral("Searching\u2026"); }
    bool counted() const { return m_answer->text().contains(QStringLiteral(", match ")); }
    QString answer() const { return m_answer->text(); }

private:
    FindBar* m_bar;
    QLineEdit* m_field;
    QLabel* m_answer;
    QListView* m_list;
};

// Measures the longest gap between the ticks of a 1 ms timer.
class StallMeter {
public:
    StallMeter()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            const std::int64_t now = steadyNs();
            m_longestNs = std::max(m_longestNs, now - m_lastTick);
            m_lastTick = now;
        });
        restart();
        m_ticker.start(1);
    }
    void restart()
    {
        m_lastTick = steadyNs();
        m_longestNs = 0;
    }
    double longestMs() const { return static_cast<double>(m_longestNs) / 1e6; }

private:
    QTimer m_ticker;
    std::int64_t m_lastTick = 0;
    std::int64_t m_longestNs = 0;
};

// Lines with a typical trap's details each, and the planted ones.
void prefillForFind(Window& window, std::int64_t lines, bool withDetails, bench::TypicalTraps::Version version)
{
    bench::TypicalTraps traps(version);
    TrapListModel& model = *window.lines;
    snmp::TrapPdu far;
    far.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3};
    far.agentAddress = {10, 1, 0, 3};
    far.genericTrap = 6;
    far.specificTrap = 17;
    for (std::int64_t i = 0; i < lines; ++i) {
        bench::RaisedTrap trap = traps.next();
        std::string line = trap.agentAddress + " enterpriseSpecific: 17";
        if (i == 1000)
            line = "10.200.0.1 linkDown";
        else if (i == lines - 1000)
            line = "10.200.0.2 linkDown";
        else if (i == lines / 2)
            trap.trap.datagram = snmp::encodeMessage(snmp::Message{snmp::versionV1, "far-rack@7", far});
        window.form->appendTrapLine(line);
        if (withDetails)
            model.keepTrap(model.lineCount() - 1, trap.trap);
    }
    const std::int64_t until = steadyNs() + 300'000'000;
    while (steadyNs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

int runFindTimes(std::int64_t lines, bool withDetails, bench::TypicalTraps::Version version)
{
    Window window = openWindow();
    const std::int64_t fillStart = steadyNs();
    prefillForFind(window, lines, withDetails, version);
    std::printf("lines=%lld\nfill_s=%.1f\ndetails_kept=%zu\n", static_cast<long long>(lines),
                static_cast<double>(steadyNs() - fillStart) / 1e9, window.lines->details().keptCount());
    FindField find(*window.form);
    StallMeter stalls;
    // key, needle: the planted lines' text, needles no line holds (one the
    // datagrams rule out, one only formatting does), the middle trap's
    // community, by a needle the datagrams decide and by a plain one, and a
    // word no line holds that the details' own writing may (a generic trap's
    // name), which no datagram rules out.
    const std::pair<const char*, const char*> needles[] = {
        {"near", "10.200.0.1"},      {"far", "10.200.0.2"},         {"none_ruled_out", "no@such"},
        {"details_ruled_in", "rack@7"}, {"details_plain", "far-rack"}, {"none_plain", "nosuchword"},
        {"none_formatter", "warmStart"},
    };
    constexpr std::int64_t capNs = 300'000'000'000;
    for (const auto& [key, needle] : needles) {
        QCoreApplication::processEvents();
        stalls.restart();
        const std::int64_t start = steadyNs();
        find.type(QString::fromLatin1(needle));
        while (!find.answered() && steadyNs() - start < capNs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double seconds = static_cast<double>(steadyNs() - start) / 1e9;
        const QString answer = find.answer();
        // A match found is then counted: every line looked at once more.
        while (answer.startsWith(QStringLiteral("Line")) && !find.counted() && steadyNs() - start < capNs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double countSeconds = static_cast<double>(steadyNs() - start) / 1e9;
        QCoreApplication::processEvents();
        std::printf("%s_needle=%s\n%s_s=%.3f\n%s_answer=%s\n%s_counted_s=%.3f\n%s_counted=%s\n%s_max_gap_ms=%.1f\n",
                    key, needle, key, seconds, key, answer.toUtf8().constData(), key, countSeconds, key,
                    find.answer().toUtf8().constData(), key, stalls.longestMs());
        std::fflush(stdout);
    }
    return 0;
}

struct Flood {
    std::int64_t rate = 20000; // traps per second; 0: as fast as the sender can
    std::int64_t count = 0;    // traps to send
    std::int64_t prefill = 0;  // lines in the list before the first trap
    bool prefillDetails = false; // ... each with a typical trap's details
    std::int64_t payloadBytes = 0; // random bytes each trap carries
    std::int64_t freezeMs = 0; // the GUI thread is made to stall this long...
    std::int64_t freezes = 0;  // ...this many times, spread evenly over the flood
    QString findNeedle;        // searched for throughout, when set
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

    // Searches one after another through the flood, each typed afresh.
    std::optional<FindField> find;
    long long searches = 0;
    QTimer searchAgain;
    if (!flood.findNeedle.isEmpty()) {
        find.emplace(*window.form);
        QObject::connect(&searchAgain, &QTimer::timeout, [&] {
            if (!find->answered())
                return;
            ++searches;
            find->type(flood.findNeedle);
        });
        find->type(flood.findNeedle);
        searchAgain.start(10);
    }

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
    searchAgain.stop();

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
    if (find)
        std::printf("find_needle=%s\nsearches=%lld\n", flood.findNeedle.toUtf8().constData(), searches);
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
    if (args.flag("--find-times"))
        return runFindTimes(std::clamp<std::int64_t>(args.number("--lines", 10'000'000), 4000, 50'000'000),
                            !args.flag("--text-only"),
                            args.flag("--v2c") ? bench::TypicalTraps::Version::v2c : bench::TypicalTraps::Version::v1);
    if (args.flag("--stall")) {
        const std::string sender = args.text("--sender");
        if (sender.empty()) {
            std::fprintf(stderr, "usage: bench_traplist --stall --sender PATH [--rate R] [--seconds S | --count N]\n"
                                 "                      [--prefill LINES [--prefill-details]] [--freeze-ms MS --freezes K]\n"
                                 "                      [--payload-bytes N] [--find NEEDLE]\n"
                                 "       bench_traplist --find-times [--lines N] [--text-only | --v2c]\n");
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
        flood.findNeedle = QString::fromStdString(args.text("--find"));
        return runFlood(sender, flood);
    }
    return runScale(std::clamp<std::int64_t>(args.number("--lines", 1'000'000), 1, 50'000'000));
}
