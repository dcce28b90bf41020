// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"
#include "NameLoading.h"
#include "UdpEngine.h"

#include <QApplication>

#include <exception>
#include <iostream>
#include <memory>
#include <string_view>

// Starts the window over the UDP engine with its built-in settings (the
// community the program was built for, agents on UDP 161, traps on UDP
// 162). Closing the window ends the program; nothing is written anywhere.
// The names of MIB modules are read in the background once the window shows.
int main(int argc, char* argv[])
{
    // The child that reads MIB modules for the window (see NameLoading).
    if (argc >= 2 && std::string_view(argv[1]) == "--load-names") {
        QStringList folders;
        for (int at = 2; at < argc; ++at)
            folders << QString::fromLocal8Bit(argv[at]);
        return brellan::NameLoading::loadInChild(folders);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brellan"));
    // Wayland compositors match the window to its installed desktop entry
    // (and so to its name and icon) by this name; X11 window managers by the
    // window class "Brellan", the entry's StartupWMClass.
    QGuiApplication::setDesktopFileName(QStringLiteral(BRELLAN_APP_ID));

    try {
        auto engine = std::make_unique<brellan::UdpEngine>();
        const brellan::UdpEngine& snmp1 = *engine; // owned by form1 from here on
        const QString trapProblem = engine->trapReceiverProblem();
        brellan::Form1 form1(std::move(engine));
        // Traps lost to a full queue are counted in the trap list's tooltip.
        QObject::connect(&snmp1, &brellan::UdpEngine::trapReceiverStateChanged, &form1,
                         &brellan::Form1::showTrapReceiverState);
        form1.show();
        form1.showTrapReceiverProblem(trapProblem);
        // The built-in names serve until the modules' names are read.
        const brellan::NameLoading names(form1);
        return QApplication::exec();
    } catch (const std::exception& error) {
        std::cerr << "Brellan could not start: " << error.what() << '\n';
        return 1;
    }
}
