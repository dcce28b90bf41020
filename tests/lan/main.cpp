// SPDX-License-Identifier: GPL-3.0-or-later
// The main() of the programs that drive the window on the test LAN: the LAN
// scenarios and the lossy-walk benchmark. They broadcast, so they refuse to
// run anywhere but in the private namespaces that test_lan.sh and
// no_route.sh create: BRELLAN_LAN_INTERFACES must name exactly the
// interfaces they see.

#include <QApplication>
#include <QNetworkInterface>
#include <QStringList>

#include <gtest/gtest.h>

#include <iostream>

namespace {

QStringList seenInterfaces()
{
    QStringList names;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        names << interface.name();
    names.sort();
    return names;
}

bool inPrivateNamespace()
{
    QStringList expected = qEnvironmentVariable("BRELLAN_LAN_INTERFACES").split(',', Qt::SkipEmptyParts);
    expected.sort();
    const QStringList seen = seenInterfaces();
    if (!expected.isEmpty() && seen == expected)
        return true;
    std::cerr << "this program runs only inside the test LAN (tests/lan/test_lan.sh, tests/lan/no_route.sh): "
                 "expected the interfaces \""
              << expected.join(',').toStdString() << "\", found \"" << seen.join(',').toStdString() << "\"\n";
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!inPrivateNamespace())
        return 1;
    return RUN_ALL_TESTS();
}
