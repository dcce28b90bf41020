// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InetAddress.h"
#include "Message.h"
#include "RequestTiming.h"
#include "RttEstimator.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace brellan {

// The requests the engine waits an answer for, and everything about their
// timing: each request's waits, learnt from its agent's round trips
// (RttEstimator), its copies and its give-up time, the window in which a
// broadcast is answered, and the ids of requests completed a short while
// ago (so that a second copy of an answer is told apart from an answer
// nobody asked for). Knows nothing of sockets: the engine sends what this
// table says, and tells it what came back. Every result is a value: no
// reference into the table outlives the call that returned it.
class RequestTable {
public:
    using Clock = std::chrono::steady_clock;

    using Timing = RequestTiming;

    // A request just sent.
    struct Sent {
        std::int32_t requestId = 0;
        snmp::PduType type = snmp::PduType::GetRequest;
        snmp::Oid firstOid;                 // the object asked for first (walk guard)
        snmp::InetAddress target;
        std::string targetName;             // the host name it was looked up by, if any
        bool broadcast = false;             // any source may answer, once each
        std::vector<std::uint8_t> datagram; // unicast: sent again, unchanged, on a retry
    };

    enum class Match {
        New,          // an outstanding request, not yet answered by this source
        Duplicate,    // a request completed lately, or a source already heard in a broadcast
        Unknown,      // no such request (never sent, abandoned, or long gone)
        WrongSource,  // a unicast request answered from another address than it went to
        WrongObject,  // answers a GetRequest with another object than it asked for
        NotAdvancing, // answers a GetNext without moving past the object asked for
    };

    struct Verdict {
        Match match = Match::Unknown;
        bool broadcast = false; // the request answered was a broadcast
        snmp::Oid asked;        // NotAdvancing: the object the GetNext asked after
    };

    // A copy to send again now: the first wait was too short for its agent.
    struct Resend {
        snmp::InetAddress target;
        std::vector<std::uint8_t> datagram;
    };

    // A unicast request given up: where it went and how often.
    struct GivenUp {
        snmp::InetAddress target;
        std::string targetName;
        int copiesSent = 0;
    };

    // A broadcast whose window closed, and how many sources answered it.
    struct ClosedBroadcast {
        std::int32_t requestId = 0;
        std::size_t answered = 0;
    };

    struct Due {
        std::vector<Resend> resend;
        std::vector<GivenUp> givenUp;
        std::vector<ClosedBroadcast> broadcastsClosed;
    };

    explicit RequestTable(Timing timing);

    // Records a request sent at `now`, and when its next copy, its give-up
    // or the end of its broadcast window is due.
    void add(Sent sent, Clock::time_point now);
    // Whether `requestId` is outstanding or completed lately: a new request
    // must not take it.
    bool inUse(std::int32_t requestId) const;

    // What an answer from `source` with request id `requestId`, whose first
    // binding names `answered`, is to the requests outstanding, and records
    // it when it answers one (New or NotAdvancing): a unicast request is then
    // complete and its round trip learnt, a broadcast notes the source and
    // stays open until its window closes. An answer counts only when it
    // comes from whom was asked (any source, for a broadcast) and answers
    // what was asked (RFC 1157 4.1.2: the bindings of a response correspond
    // to those of the request).
    //
    // The walk guard is part of it: an answer to GetNext that does not move
    // past the object asked for (an agent at the end of its view echoing
    // the request with noSuchName, or a broken agent) would make the walk
    // ask the same question forever, so it is NotAdvancing.
    Verdict matchAnswer(std::int32_t requestId, const snmp::InetAddress& source, const snmp::Oid& answered,
                        Clock::time_point now);
    // Abandons every outstanding request; late answers become Unknown.
    void clear();

    // Moves the table's time on to `now`: the copies then due, the unicast
    // requests given up and the broadcast windows closed. Each copy of a
    // request waits twice as long as the one before, up to the maximum
    // wait, and the last wait ends at its give-up time.
    Due advanceTo(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;
    bool empty() const { return m_outstanding.empty(); }
    // Whether a broadcast is still answered.
    bool broadcastOpen() const;

private:
    struct Request {
        Sent sent;
        int copiesSent = 1;
        Clock::time_point sentAt;          // of the first copy
        Clock::time_point lastSentAt;      // of the latest copy
        std::chrono::milliseconds wait{0}; // before the copy after the last one sent
        Clock::time_point giveUpAt;        // unicast: no copy is sent from here on
        Clock::time_point deadline;        // next copy, give-up, or end of the broadcast window
        std::set<snmp::InetAddress> answeredBy; // broadcast: the sources already heard
    };

    Match classify(const Request* request, std::int32_t requestId, const snmp::InetAddress& source,
                   const snmp::Oid& answered) const;
    void learnRoundTrip(const Request& request, Clock::time_point answeredAt);
    void remember(std::int32_t requestId, Clock::time_point now);
    void forgetExpired(Clock::time_point now);

    static constexpr std::size_t maxRemembered = 4096;

    const Timing m_timing;
    const std::chrono::milliseconds m_linger; // how long a completed id is remembered
    RttEstimator m_roundTrips;
    std::map<std::int32_t, Request> m_outstanding;
    // Completed ids in completion order, with the time they are forgotten.
    std::deque<std::pair<std::int32_t, Clock::time_point>> m_completedOrder;
    std::set<std::int32_t> m_completed;
};

} // namespace brellan
