// SPDX-License-Identifier: GPL-3.0-or-later
// The traps behind the trap list's lines, in the real window (Form1,
// offscreen) over a stand-in component that raises Trap events with real
// datagrams, so the window takes them as fast as it can:
//
//   bench_trapdetails --traps 10000000 [--hovers 20] [--names 50000]
//     that many typical traps (v1, four bindings, as snmptrap sends them):
//     the resident memory they cost beyond their lines' text, per trap, and
//     what the detail store counts for itself; then, for lines spread over
//     the list, the time from hovering a line (the tooltip event on the
//     list's viewport) to its tooltip being shown, its text made with the
//     built-in names and that many more (an index as large as loaded MIB
//     modules make it), and how many tooltips read ifOperStatus by its name;
//     then Ctrl+A and the two copies of every line, timed.
//
//   bench_trapdetails --hostile 100000 [--payload-bytes 60000]
//     that many traps of random bytes (incompressible, as a hostile host
//     sends them): the resident size before and after and at its highest,
//     beside the details' budget and what the lines take; lines lost.
//
// Output: key=value lines.

#include "BenchSupport.h"
#include "Form1.h"
#include "NameIndex.h"
#include "StandInComponent.h"
#include "TrapListModel.h"
#include "TrapListView.h"
#include "TypicalTraps.h"

#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QMessageBox>
#include <QToolTip>

#include <cstdio>
#include <random>

namespace {

using namespace brellan;
using bench::steadyNs;

constexpr double mebibyte = 1048576.0;

struct Window {
    bench::StandInComponent* snmp = nullptr; // owned by form
    std::unique_ptr<Form1> form;
    TrapListView* view = nullptr;
    TrapListModel* lines = nullptr; // the trap list's model, owned by form
};

Window openWindow()
{
    auto component = std::make_unique<bench::StandInComponent>();
    Window window;
    window.snmp = component.get();
    window.form = std::make_unique<Form1>(std::move(component));
    window.form->show();
    window.view = window.form->findChild<TrapListView*>(QStringLiteral("lstTrapList"));
    window.lines = window.view ? qobject_cast<TrapListModel*>(window.view->model()) : nullptr;
    const std::int64_t until = steadyNs() + 300'000'000;
    while (steadyNs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return window;
}

// The built-in names and `extra` more, under an enterprise of their own:
// the index's size is what a name's look-up costs.
std::shared_ptr<const names::NameIndex> namesWithMore(std::int64_t extra)
{
    auto index = std::make_shared<names::NameIndex>(*names::builtInNames());
    for (std::int64_t i = 0; i < extra; ++i) {
        const auto arc = static_cast<std::uint32_t>(i);
        index->add({1, 3, 6, 1, 4, 1, 99999, arc / 1000, arc % 1000}, {"BENCH-MIB", "object" + std::to_string(i), {}});
    }
    return index;
}

// Lets the view take in every line appended so far.
void settle(Window& window)
{
    while (static_cast<std::size_t>(window.lines->rowCount()) < window.lines->lineCount())
        QCoreApplication::processEvents();
}

std::int64_t lineTextBytes(const TrapListModel& model)
{
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i < model.lineCount(); ++i)
        bytes += static_cast<std::int64_t>(model.line(i).size());
    return bytes;
}

void printStore(const TrapDetailStore& store)
{
    std::printf("details_kept=%zu\ndetails_let_go=%zu\ndetails_mb=%.1f\nbudget_mb=%.1f\n", store.keptCount(),
                store.letGoCount(), static_cast<double>(store.memoryBytes()) / mebibyte,
                static_cast<double>(store.budgetBytes()) / mebibyte);
}

// Hovers `hovers` lines (the first, the last, the rest at random), each
// scrolled to the top of the list first, and times the tooltip event.
void measureHovers(Window& window, int hovers)
{
    QAbstractItemModel& model = *window.view->model();
    QWidget* viewport = window.view->viewport();
    const int rows = model.rowCount();
    std::mt19937_64 random(1);
    std::vector<double> milliseconds;
    int withDetails = 0;
    int withNames = 0;
    for (int k = 0; k < hovers && rows > 0; ++k) {
        const int row = k == 0 ? 0 : k == 1 ? rows - 1 : static_cast<int>(random() % static_cast<unsigned>(rows));
        const QModelIndex index = model.index(row, 0);
        window.view->scrollTo(index, QAbstractItemView::PositionAtTop);
        QCoreApplication::processEvents();
        const QPoint where = window.view->visualRect(index).center();
        QHelpEvent hover(QEvent::ToolTip, where, viewport->mapToGlobal(where));
        const std::int64_t start = steadyNs();
        QCoreApplication::sendEvent(viewport, &hover);
        const bool shown = QToolTip::isVisible() && !QToolTip::text().isEmpty();
        milliseconds.push_back(static_cast<double>(steadyNs() - start) / 1e6);
        withDetails += shown && QToolTip::text().contains(QStringLiteral("Received: "));
        withNames += shown && QToolTip::text().contains(QStringLiteral("IF-MIB::ifOperStatus."));
        QToolTip::hideText();
        QCoreApplication::processEvents();
    }
    // The text alone, of other lines: what the model takes of the time.
    std::vector<double> textMilliseconds;
    for (int k = 0; k < hovers && rows > 0; ++k) {
        const QModelIndex index = model.index(static_cast<int>(random() % static_cast<unsigned>(rows)), 0);
        const std::int64_t start = steadyNs();
        const QString text = index.data(Qt::ToolTipRole).toString();
        textMilliseconds.push_back(static_cast<double>(steadyNs() - start) / 1e6);
    }
    std::printf("hovers=%d\nhover_with_details=%d\nhover_with_names=%d\nhover_max_ms=%.2f\nhover_median_ms=%.2f\n"
                "tooltip_text_max_ms=%.2f\ntooltip_text_median_ms=%.2f\n",
                hovers, withDetails, withNames, bench::percentile(milliseconds, 1.0), bench::percentile(milliseconds, 0.5),
                bench::percentile(textMilliseconds, 1.0), bench::percentile(textMilliseconds, 0.5));
}

// Ctrl+A, then each copy, as the keys do it; lines counted in the clipboard,
// its size in millions of characters (MiB).
void measureCopies(Window& window)
{
    window.view->setFocus();
    const std::int64_t start = steadyNs();
    window.view->selectAll();
    const std::int64_t selected = steadyNs();
    window.view->copySelection(false);
    const std::int64_t copied = steadyNs();
    const QString lines = QGuiApplication::clipboard()->text();
    const std::int64_t copyStart = steadyNs();
    window.view->copySelection(true);
    const std::int64_t copiedDetails = steadyNs();
    const QString details = QGuiApplication::clipboard()->text();
    std::printf("select_all_ms=%.1f\ncopy_ms=%.1f\ncopy_lines=%lld\ncopy_mb=%.1f\ncopy_details_ms=%.1f\n"
                "copy_details_lines=%lld\ncopy_details_mb=%.1f\n",
                static_cast<double>(selected - start) / 1e6, static_cast<double>(copied - selected) / 1e6,
                static_cast<long long>(lines.isEmpty() ? 0 : lines.count(QLatin1Char('\n')) + 1),
                static_cast<double>(lines.size()) / mebibyte, static_cast<double>(copiedDetails - copyStart) / 1e6,
                static_cast<long long>(details.isEmpty() ? 0 : details.count(QStringLiteral("\n\n")) + 1),
                static_cast<double>(details.size()) / mebibyte);
    for (QMessageBox* box : window.form->findChildren<QMessageBox*>(QStringLiteral("copyCut")))
        delete box;
}

int runTypical(std::int64_t traps, int hovers, std::int64_t extraNames)
{
    Window window = openWindow();
    if (!window.view || !window.lines)
        return 1;
    const std::shared_ptr<const names::NameIndex> names = namesWithMore(extraNames);
    // The hand-over is all that loading names costs the GUI thread.
    const std::int64_t handedOver = steadyNs();
    window.form->useNames(names);
    std::printf("names=%zu\nnames_handover_ms=%.2f\n", names->size(),
                static_cast<double>(steadyNs() - handedOver) / 1e6);
    bench::TypicalTraps maker;
    const std::int64_t rssBefore = bench::residentBytes();
    const std::int64_t start = steadyNs();
    for (std::int64_t i = 0; i < traps; ++i) {
        const bench::RaisedTrap& trap = maker.next();
        window.snmp->trap(trap.genericTrap, trap.specificTrap, trap.agentAddress, trap.trap);
    }
    settle(window);
    const std::int64_t filled = steadyNs();
    const std::int64_t rssAfter = bench::residentBytes();
    const TrapListModel& model = *window.lines;
    const std::int64_t textBytes = lineTextBytes(model);
    std::printf("traps=%lld\nlines=%zu\nfill_s=%.1f\ntext_mb=%.1f\nrss_mb=%.1f\nrss_delta_mb=%.1f\n"
                "bytes_per_trap_beyond_text=%.1f\nstore_bytes_per_trap=%.1f\n",
                static_cast<long long>(traps), model.lineCount(), static_cast<double>(filled - start) / 1e9,
                static_cast<double>(textBytes) / mebibyte, static_cast<double>(rssAfter) / mebibyte,
                static_cast<double>(rssAfter - rssBefore) / mebibyte,
                static_cast<double>(rssAfter - rssBefore - textBytes) / static_cast<double>(traps),
                static_cast<double>(model.details().memoryBytes()) / static_cast<double>(traps));
    printStore(model.details());
    std::fflush(stdout);
    measureHovers(window, hovers);
    measureCopies(window);
    return model.lineCount() == static_cast<std::size_t>(traps) ? 0 : 1;
}

int runHostile(std::int64_t traps, std::size_t payloadBytes)
{
    Window window = openWindow();
    if (!window.lines)
        return 1;
    ReceivedTrap received;
    received.genericTrap = 6;
    received.specificTrap = 66;
    received.agentAddress = 0x0A420001;
    received.sourceAddress = 0x0A420001;
    received.sourcePort = 40000;
    received.datagram = bench::noisyTrap(payloadBytes);
    const std::span<std::uint8_t> payload = std::span(received.datagram).last(payloadBytes);
    std::uint64_t noise = 0x9E3779B97F4A7C15ULL;
    const std::int64_t rssBefore = bench::residentBytes();
    std::int64_t rssPeak = rssBefore;
    const std::int64_t start = steadyNs();
    for (std::int64_t i = 0; i < traps; ++i) {
        bench::fillRandom(payload, noise);
        received.receivedAt = std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
        window.snmp->trap(6, 66, "10.66.0.1", received);
        if (i % 1000 == 999) {
            settle(window);
            rssPeak = std::max(rssPeak, bench::residentBytes());
        }
    }
    settle(window);
    const std::int64_t rssAfter = bench::residentBytes();
    const TrapListModel& model = *window.lines;
    // A line costs its text and about 4 bytes (TrapLineStore).
    const double linesMb = static_cast<double>(lineTextBytes(model) + 4 * static_cast<std::int64_t>(model.lineCount()))
                           / mebibyte;
    std::printf("traps=%lld\npayload_bytes=%zu\nlines=%zu\nlost=%lld\nseconds=%.1f\nrss_before_mb=%.1f\n"
                "rss_mb=%.1f\nrss_peak_mb=%.1f\ngrowth_mb=%.1f\npeak_growth_mb=%.1f\nlines_mb=%.1f\n",
                static_cast<long long>(traps), payloadBytes, model.lineCount(),
                static_cast<long long>(traps) - static_cast<long long>(model.lineCount()),
                static_cast<double>(steadyNs() - start) / 1e9, static_cast<double>(rssBefore) / mebibyte,
                static_cast<double>(rssAfter) / mebibyte, static_cast<double>(rssPeak) / mebibyte,
                static_cast<double>(rssAfter - rssBefore) / mebibyte,
                static_cast<double>(rssPeak - rssBefore) / mebibyte, linesMb);
    printStore(model.details());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bench::Arguments args(argc, argv);
    const std::int64_t hostile = args.number("--hostile", 0);
    if (hostile > 0) {
        const auto payload = static_cast<std::size_t>(std::clamp<std::int64_t>(args.number("--payload-bytes", 60000), 1, 65000));
        return runHostile(std::min<std::int64_t>(hostile, 10'000'000), payload);
    }
    return runTypical(std::clamp<std::int64_t>(args.number("--traps", 1'000'000), 1, 50'000'000),
                      static_cast<int>(std::clamp<std::int64_t>(args.number("--hovers", 20), 1, 1000)),
                      std::clamp<std::int64_t>(args.number("--names", 50'000), 0, 1'000'000));
}
