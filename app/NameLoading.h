// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <thread>

namespace brellan {

class Form1;

// Reads the names of the operator's MIB modules and of the registry of
// private enterprise numbers in the background, and hands them to the
// window whole, on the window's thread; until then the window uses the
// built-in names. Problems with files are logged under "brellan.names".
//
// The modules are parsed by libsmi in a child process (this program run
// with --load-names), since some malformed modules crash libsmi: such a
// module then costs the modules' names, never the window. Destroying a
// NameLoading stops the child and waits for its thread.
class NameLoading {
public:
    explicit NameLoading(Form1& window);

    // The child's side: with `arguments` after --load-names (the module
    // folders), writes the modules' names to standard output and each
    // problem to standard error, one a line. Returns the exit status.
    static int loadInChild(const QStringList& arguments);

private:
    std::jthread m_thread;
};

} // namespace brellan
