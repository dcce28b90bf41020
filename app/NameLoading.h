// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <thread>

namespace brellan {

class Form1;

// Reads the names of the operator's MIB modules and of the registry of
// private enterprise numbers on a thread of its own, and hands them to the
// window whole, on the window's thread; until then the window uses the
// built-in names. Problems with files are logged under "brellan.names".
// Destroying it waits for the reading to end.
class NameLoading {
public:
    explicit NameLoading(Form1& window);

private:
    std::jthread m_thread;
};

} // namespace brellan
