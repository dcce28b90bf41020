// SPDX-License-Identifier: GPL-3.0-or-later
// A search on a LAN of thousands of agents, in the real window (Form1 over
// the real engine, offscreen): clicks Find Agents and waits until COUNT rows
// are in the agent list, or the search's window has closed. A 1 ms timer
// measures the longest time the window could not react meanwhile. It
// broadcasts, so it runs only inside the namespaces bench/search_lan.sh
// builds: BRELLAN_SEARCH_INTERFACES must name exactly the interfaces it sees.
//
//   bench_search --count 5000 [--wait-ms 20000]
//
// Prints key=value lines: rows, the time from the click to the last row,
// the longest stall, the answers the system dropped on the request socket
// (the namespace's UDP receive-buffer errors), and the status line.

#include "BenchSupport.h"
#include "Form1.h"
#include "UdpEngine.h"

#include <QApplication>
#include <QLabel>
#include <QNetworkInterface>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <iostream>

namespace {

using namespace brellan;
using bench::steadyNs;

bool inSearchNamespace()
{
    QStringList expected = qEnvironmentVariable("BRELLAN_SEARCH_INTERFACES").split(',', Qt::SkipEmptyParts);
    QStringList seen;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        seen << interface.name();
    expected.sort();
    seen.sort();
    if (!expected.isEmpty() && seen == expected)
        return true;
    std::cerr << "bench_search broadcasts: it runs only inside bench/search_lan.sh's namespaces (found the "
                 "interfaces \""
              << seen.join(',').toStdString() << "\")\n";
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bench::Arguments args(argc, argv);
    const int count = static_cast<int>(args.number("--count", 5000));
    const int waitMs = static_cast<int>(args.number("--wait-ms", 20000));
    if (!inSearchNamespace())
        return 1;

    UdpEngine::Settings settings;
    settings.community = "mervik";
    settings.trapPort = 0;
    settings.trapBindAddress = QHostAddress(QHostAddress::LocalHost);
    Form1 form(std::make_unique<UdpEngine>(settings));
    form.show();
    QApplication::processEvents();
    auto* list = form.findChild<QTreeWidget*>(QStringLiteral("lvwAgentList"));
    auto* find = form.findChild<QPushButton*>(QStringLiteral("cmdFind"));
    auto* status = form.findChild<QLabel*>(QStringLiteral("lblStatus"));
    if (!list || !find || !status)
        return 1;

    std::int64_t lastRowNs = 0;
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] { lastRowNs = steadyNs(); });
    std::int64_t lastTick = 0;
    std::int64_t longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const std::int64_t now = steadyNs();
        if (lastTick != 0)
            longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    ticker.start(1);

    const std::int64_t droppedBefore = bench::udpReceiveBufferErrors();
    const std::int64_t clicked = steadyNs();
    find->click();
    const std::int64_t deadline = clicked + std::int64_t{waitMs} * 1000000;
    // Until every row is in and the search's end is on the status line.
    while (steadyNs() < deadline
           && (list->topLevelItemCount() < count || !status->text().startsWith(QStringLiteral("Search done"))))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    std::printf("rows=%d\n", list->topLevelItemCount());
    std::printf("expected=%d\n", count);
    std::printf("click_to_last_row_ms=%.1f\n", lastRowNs > 0 ? static_cast<double>(lastRowNs - clicked) / 1e6 : -1.0);
    std::printf("longest_stall_ms=%.1f\n", static_cast<double>(longestGap) / 1e6);
    std::printf("dropped=%lld\n", static_cast<long long>(bench::udpReceiveBufferErrors() - droppedBefore));
    std::printf("status=%s\n", status->text().toUtf8().constData());
    return list->topLevelItemCount() == count ? 0 : 1;
}
