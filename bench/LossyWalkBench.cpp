// SPDX-License-Identifier: GPL-3.0-or-later
// A benchmark, not a test: 20 walks of an agent behind a link that loses
// about 30 % of the datagrams each way, by Brellan and by Net-SNMP's
// snmpwalk with its default timing (1 s, 5 retries), through the same
// filter. It takes minutes; bench/lossy_walk.sh builds the test LAN
// (tests/lan/test_lan.sh) and runs it there, on the LAN scenarios' fixture.

#include "LanFixture.h"

#include <QElapsedTimer>
#include <QProcess>

namespace brellan::lan {
namespace {

class LanBench : public TestLan {};

TEST_F(LanBench, LossyWalksBesideSnmpwalk)
{
    constexpr int walks = 20;
    const LanAgent& lossy = agent("ordinary", 2);
    const LossyWalks ours = lossyWalks(lossy, walks, 3);

    AgentHost host(lossy.ns);
    ASSERT_TRUE(host.installSnmpFilter(3)) << host.error().toStdString();
    std::vector<double> theirs;
    int theirsComplete = 0;
    for (int i = 0; i < walks; ++i) {
        QProcess snmpwalk;
        QElapsedTimer clock;
        clock.start();
        snmpwalk.start("snmpwalk", {"-v1", "-c", "mervik", "-t", "1", "-r", "5", "-On", "-CE", "1.3.6.1.2.1.1.8",
                                    lossy.address, "1.3.6.1.2.1.1"});
        const bool finished = snmpwalk.waitForFinished(60000);
        theirs.push_back(static_cast<double>(clock.elapsed()) / 1000.0);
        const QString output = QString::fromUtf8(snmpwalk.readAllStandardOutput());
        if (finished && snmpwalk.exitCode() == 0 && output.contains(".1.3.6.1.2.1.1.7.0 "))
            ++theirsComplete;
        if (!finished)
            snmpwalk.kill();
    }
    host.removeSnmpFilter();

    report("bench: lossy walk, Brellan: " + std::to_string(ours.completed) + "/" + std::to_string(walks)
           + " complete, median " + seconds(median(ours.seconds)) + " s, worst " + seconds(worst(ours.seconds)) + " s");
    report("bench: lossy walk, snmpwalk -t 1 -r 5: " + std::to_string(theirsComplete) + "/" + std::to_string(walks)
           + " complete, median " + seconds(median(theirs)) + " s, worst " + seconds(worst(theirs)) + " s");
    report("bench: lossy walk, snmpwalk / Brellan (medians): " + seconds(median(theirs) / median(ours.seconds)));
    EXPECT_GE(ours.completed, 19);
}

} // namespace
} // namespace brellan::lan
