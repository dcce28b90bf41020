// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace brellan {

// When a request is sent again, given up, and how long a broadcast is
// answered. The defaults are the program's: an agent that never answers
// gets six copies in 6 s, as Net-SNMP's tools send by default.
struct RequestTiming {
    // The wait before a request is sent again is learnt from each agent's
    // answers, within [minimumWait, maximumWait]; before an agent has
    // answered, it is initialWait. Each further copy waits twice as long as
    // the one before, up to maximumWait, and a request is given up once
    // giveUpAfter has passed since its first copy.
    std::chrono::milliseconds initialWait{1000};
    std::chrono::milliseconds minimumWait{50};
    std::chrono::milliseconds maximumWait{1000};
    std::chrono::milliseconds giveUpAfter{6000};
    // A broadcast is sent once and answered until this has passed.
    std::chrono::milliseconds broadcastWindow{3000};
};

} // namespace brellan
