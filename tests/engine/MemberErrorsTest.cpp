// SPDX-License-Identifier: GPL-3.0-or-later
// Member calls that must fail, and fail with a message an operator can act on.

#include "EngineHarness.h"
#include "SnmpError.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cstdlib>

namespace brellan::test {
namespace {

// Expects `call` to raise SnmpError whose message contains `needle`.
template <typename Call>
void expectError(Call call, const std::string& needle)
{
    try {
        call();
        ADD_FAILURE() << "no error; expected one mentioning " << needle;
    } catch (const SnmpError& error) {
        EXPECT_NE(std::string(error.what()).find(needle), std::string::npos) << error.what();
    }
}

TEST(EngineMembers, BadAddressNamesTheTextAndLeavesNoTarget)
{
    UdpEngine engine(loopbackSettings(1));
    engine.setRemoteHost("127.0.0.1");
    // Neither an address nor a host name, once blanks around it are gone.
    for (const std::string bad : {" ", "fd00::5::2", "12345::1", "[::1]", "1.2.3", "256.1.1.1", "-router", "a..b",
                                  "router 1"}) {
        SCOPED_TRACE(bad);
        expectError([&] { engine.setRemoteHost(bad); }, "\"" + bad + "\"");
        EXPECT_EQ(engine.RemoteHost(), "");
    }
    engine.setVarCount(1);
    engine.setVarOid(1, "1.3.6.1.2.1.1.1.0");
    // A refused address must not leave the previous agent as the target.
    expectError([&] { engine.SendGet(); }, "no agent address");
    EXPECT_EQ(engine.counters().requests, 0u);
}

TEST(EngineMembers, VariableListErrorsNameTheProblem)
{
    UdpEngine engine(loopbackSettings(1));
    engine.setRemoteHost("127.0.0.1");
    expectError([&] { engine.SendGet(); }, "variable list is empty");
    engine.setVarCount(1);
    expectError([&] { engine.SendGetNext(); }, "VarOid(1) is not set");
    expectError([&] { engine.setVarOid(1, "1.3.6.1.2.1.1.5.0 "); }, "\"1.3.6.1.2.1.1.5.0 \"");
    expectError([&] { engine.setVarOid(1, "sysName.0"); }, "\"sysName.0\"");
    expectError([&] { engine.setVarOid(2, "1.3.6.1.2.1.1.5.0"); }, "VarOid(2)");
    expectError([&] { engine.setVarOid(0, "1.3.6.1.2.1.1.5.0"); }, "VarOid(0)");
    expectError([&] { engine.setVarCount(-1); }, "-1");
    engine.setVarOid(1, "1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(engine.VarOid(1), "1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(engine.VarValue(1), "");
    expectError([&] { (void)engine.VarOid(2); }, "VarOid(2)");
    expectError([&] { (void)engine.VarValue(0); }, "VarValue(0)");

    engine.Reset();
    expectError([&] { (void)engine.VarOid(1); }, "VarOid(1)");
}

// Without any network (a fresh network namespace: no interface is up) the
// system refuses every send, and the error must say so.
constexpr const char* insideEmptyNamespace = "BRELLAN_TEST_IN_EMPTY_NETNS";

TEST(EngineWithoutNetwork, RefusedSendsRaiseTheSystemsReason)
{
    if (std::getenv(insideEmptyNamespace) == nullptr) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(insideEmptyNamespace, "1");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("unshare", {"-n", "--", QCoreApplication::applicationFilePath(),
                                "--gtest_filter=EngineWithoutNetwork.RefusedSendsRaiseTheSystemsReason"});
        if (!child.waitForStarted(5000))
            GTEST_SKIP() << "unshare is not available";
        ASSERT_TRUE(child.waitForFinished(60000));
        const std::string output = child.readAll().toStdString();
        if (child.exitCode() != 0 && output.find("unshare:") != std::string::npos)
            GTEST_SKIP() << "no permission for a network namespace: " << output;
        EXPECT_EQ(child.exitCode(), 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        return;
    }

    UdpEngine::Settings settings = loopbackSettings(161);
    settings.trapBindAddress = QHostAddress(QHostAddress::AnyIPv4);
    UdpEngine engine(settings);
    engine.setVarCount(1);
    engine.setVarOid(1, "1.3.6.1.2.1.1.5.0");

    engine.setRemoteHost("255.255.255.255");
    expectError([&] { engine.SendGet(); }, "Cannot send the broadcast request to 255.255.255.255: Network is unreachable");
    engine.setRemoteHost("10.0.0.1");
    expectError([&] { engine.SendGet(); }, "Cannot send the request to 10.0.0.1: Network is unreachable");
    EXPECT_EQ(engine.counters().requests, 0u);
}

} // namespace
} // namespace brellan::test
