// The trap list at scale, in the real window (Form1, offscreen):
//
//   bench_traplist --lines 1000000
//     appends the lines through Form1::appendTrapLine, lets the list view
//     take them in and repaints it; prints the time, the resident memory it
//     cost and that memory per line beyond the text itself.
//
//   bench_traplist --stall --sender PATH [--rate 20000] [--seconds 10]
//     while bench_trap_send sends traps to the window's engine on
//     127.0.0.1, a 1 ms timer measures the gaps between its ticks: the
//     longest gap is the longest time the window could not react.
//
// Output: key=value lines.

#include "BenchSupport.h"
#include "ChildProcess.h"
#include "Form1.h"
#include "TrapListModel.h"
#include "UdpEngine.h"

#include <QApplication>
#include <QListView>
#include <QTimer>

#include <charconv>
#include <cstdio>

namespace {

using namespace brellan;
using bench::steadyNs;

struct Window {
    UdpEngine* engine = nullptr; // owned by form
    std::unique_ptr<Form1> form;
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
    while (window.form->trapListModel().rowCount() < lines)
        QCoreApplication::processEvents();
    view->scrollToBottom();
    view->viewport()->repaint();
    const std::int64_t shown = steadyNs();
    const std::int64_t rssAfter = bench::residentBytes();

    std::printf("lines=%lld\nappend_s=%.3f\ntotal_s=%.3f\nrss_delta_mb=%.1f\ntext_mb=%.1f\n"
                "bytes_per_line_beyond_text=%.1f\n",
                static_cast<long long>(lines), static_cast<double>(appended - start) / 1e9,
                static_cast<double>(shown - start) / 1e9, static_cast<double>(rssAfter - rssBefore) / 1048576.0,
                static_cast<double>(textBytes) / 1048576.0,
                static_cast<double>(rssAfter - rssBefore - textBytes) / static_cast<double>(lines));
    const std::string_view last = window.form->trapListModel().line(static_cast<std::size_t>(lines - 1));
    return last == maker.next(static_cast<std::size_t>(lines - 1)) ? 0 : 1;
}

int runStall(const std::string& sender, std::int64_t rate, std::int64_t seconds)
{
    Window window = openWindow();
    std::vector<double> gapsMs;
    gapsMs.reserve(static_cast<std::size_t>(seconds * 1200 + 5000));
    std::int64_t lastTick = steadyNs();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const std::int64_t now = steadyNs();
        gapsMs.push_back(static_cast<double>(now - lastTick) / 1e6);
        lastTick = now;
    });
    ticker.start(1);

    const std::int64_t count = rate * seconds;
    bench::ChildProcess burst(sender,
                              {"--port", std::to_string(window.engine->boundTrapPort()), "--count",
                               std::to_string(count), "--rate", std::to_string(rate), "--cap-ms",
                               std::to_string(seconds * 1000 + 5000)},
                              "/tmp/bench_traplist_send.out");
    if (!burst.started())
        return 1;
    const std::int64_t cap = steadyNs() + (seconds + 10) * 1'000'000'000;
    while (!burst.finished() && steadyNs() < cap)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const std::int64_t settle = steadyNs() + 500'000'000;
    while (steadyNs() < settle)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ticker.stop();

    const auto sent = burst.keyValues()["sent"];
    const auto logged = static_cast<long long>(window.form->trapListModel().storedCount());
    std::printf("sent=%lld\nlogged=%lld\nticks=%zu\nmax_gap_ms=%.1f\np999_gap_ms=%.2f\nmedian_gap_ms=%.2f\n", sent,
                logged, gapsMs.size(), bench::percentile(gapsMs, 1.0), bench::percentile(gapsMs, 0.999),
                bench::percentile(gapsMs, 0.5));
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
            std::fprintf(stderr, "usage: bench_traplist --stall --sender PATH [--rate R] [--seconds S]\n");
            return 2;
        }
        return runStall(sender, std::clamp<std::int64_t>(args.number("--rate", 20000), 1, 1'000'000),
                        std::clamp<std::int64_t>(args.number("--seconds", 10), 1, 60));
    }
    return runScale(std::clamp<std::int64_t>(args.number("--lines", 1'000'000), 1, 50'000'000));
}
