#pragma once

#include "Message.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace brellan {

// The requests the engine waits an answer for, their retry and broadcast
// deadlines, and the ids of requests completed a short while ago (so that a
// second copy of an answer is told apart from an answer nobody asked for).
// Knows nothing of sockets: the engine sends, this table decides.
class RequestTable {
public:
    using Clock = std::chrono::steady_clock;

    struct Request {
        std::int32_t requestId = 0;
        snmp::PduType type = snmp::PduType::GetRequest;
        snmp::Oid firstOid;                // the object asked for first (walk guard)
        std::vector<std::uint8_t> datagram; // sent again, unchanged, on a retry
        std::uint32_t target = 0;          // IPv4, host byte order
        bool broadcast = false;            // to a broadcast address: any source may answer, once
        int copiesSent = 1;
        Clock::time_point sentAt;          // of the first copy
        Clock::time_point lastSentAt;      // of the latest copy
        std::chrono::milliseconds wait{0}; // before the copy after the last one sent
        std::chrono::milliseconds maximumWait{0};
        Clock::time_point giveUpAt;        // unicast: no copy is sent from here on
        Clock::time_point deadline;        // next copy, give-up, or end of the broadcast window
        std::set<std::uint32_t> answeredBy; // broadcast: the sources already accepted
    };

    enum class Answer {
        New,          // an outstanding request, not yet answered by this source
        Duplicate,    // a request completed lately, or a source already heard in a broadcast
        Unknown,      // no such request (never sent, abandoned, or long gone)
        WrongSource,  // a unicast request answered from another address than it went to
        WrongObject,  // answers a GetRequest with another object than it asked for
        NotAdvancing, // answers a GetNext without moving past the object asked for
    };

    struct Verdict {
        Answer answer = Answer::Unknown;
        const Request* request = nullptr; // the outstanding request answered, if any
    };

    // A request sent again: the first wait was too short for its agent.
    struct Resend {
        const Request* request;
        std::chrono::milliseconds waited; // since the copy before
    };

    // A unicast request given up: where it went and how often.
    struct GivenUp {
        std::uint32_t target = 0;
        int copiesSent = 0;
    };

    struct Due {
        std::vector<Resend> resend;   // send these again now (deadline already moved on)
        std::vector<GivenUp> givenUp; // unicast requests given up
    };

    // How long a completed request id is remembered for duplicate counting.
    explicit RequestTable(std::chrono::milliseconds linger) : m_linger(linger) {}

    void add(Request request, Clock::time_point now);
    // Whether `requestId` is outstanding or completed lately: a new request
    // must not take it.
    bool inUse(std::int32_t requestId) const;

    // What an answer from `source` with request id `requestId`, whose first
    // binding names `answered`, is to the requests outstanding. An answer
    // counts only when it comes from whom was asked (any source, for a
    // broadcast) and answers what was asked (RFC 1157 4.1.2: the bindings
    // of a response correspond to those of the request).
    //
    // The walk guard is part of it: an answer to GetNext that does not move
    // past the object asked for (an agent at the end of its view echoing
    // the request with noSuchName, or a broken agent) would make the walk
    // ask the same question forever, so it is NotAdvancing and not passed on.
    Verdict classify(std::int32_t requestId, std::uint32_t source, const snmp::Oid& answered) const;
    // Takes an answer (passed on or not): a unicast request is complete, a
    // broadcast one notes the source and stays open until its window closes.
    void accept(std::int32_t requestId, std::uint32_t source, Clock::time_point now);
    // Abandons every outstanding request; late answers become Unknown.
    void clear();

    // Copies due, unicast requests given up, broadcast windows closed. Each
    // copy of a request waits twice as long as the one before, up to its
    // maximum wait, and the last wait ends at its give-up time.
    Due takeDue(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;
    bool empty() const { return m_outstanding.empty(); }

private:
    const Request* find(std::int32_t requestId) const;
    void complete(std::int32_t requestId, Clock::time_point now);
    void remember(std::int32_t requestId, Clock::time_point now);
    void forgetExpired(Clock::time_point now);

    static constexpr std::size_t maxRemembered = 4096;

    std::chrono::milliseconds m_linger;
    std::map<std::int32_t, Request> m_outstanding;
    // Completed ids in completion order, with the time they are forgotten.
    std::deque<std::pair<std::int32_t, Clock::time_point>> m_completedOrder;
    std::set<std::int32_t> m_completed;
};

} // namespace brellan
