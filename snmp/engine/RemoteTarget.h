// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InetAddress.h"
#include "Message.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brellan {

// Where requests go: RemoteHost as the operator wrote it, and the address
// it stands for. An IPv4 or IPv6 address (with its zone, fe80::1%eth0) is
// known at once. A host name is looked up through the system's resolver
// without blocking the window; requests sent meanwhile wait for its
// address, and go to the first address the resolver gives, IPv4 or IPv6,
// in the system's order, once it is known. Lives on the GUI thread.
class RemoteTarget final : public QObject {
    Q_OBJECT

public:
    // A request that waits for a name's address.
    struct WaitingRequest {
        snmp::PduType type = snmp::PduType::GetRequest;
        std::vector<snmp::Oid> oids;
    };
    // How a name's lookup ended: its first address and the requests
    // that waited for it, or why there is none.
    struct LookupEnd {
        std::string name;
        std::optional<snmp::InetAddress> address;
        std::string whyNotFound; // when there is no address
        std::vector<WaitingRequest> waiting;
    };
    using LookupEndHandler = std::function<void(const LookupEnd& end)>;

    explicit RemoteTarget(LookupEndHandler lookupEnded, QObject* parent = nullptr);

    // Checks the text when it is written, so the error names the text the
    // operator gave (SnmpError); a rejected text leaves no target behind.
    // Blanks around a pasted address or name are ignored. A name starts
    // its lookup here.
    void set(const std::string& host);
    // The text as it was written (empty after a rejected one).
    const std::string& written() const { return m_written; }
    // The host name the target holds, or empty for an address.
    const std::string& name() const { return m_name; }
    // The target's address, once known; and the same as Qt's.
    const std::optional<snmp::InetAddress>& address() const { return m_address; }
    const QHostAddress& qtAddress() const { return m_qtAddress; }

    // Holds `request` until the name now being looked up is found; false
    // when no lookup of the target's name is under way.
    bool holdUntilFound(WaitingRequest request);
    // Forgets a lookup under way: its answer is ignored when it comes.
    void abandonLookup();

private:
    struct Lookup {
        int id = -1;
        std::string name;
        std::vector<WaitingRequest> waiting;
    };

    void setAddress(const snmp::InetAddress& address);
    void lookUp(const std::string& name);
    void lookedUp(const QHostInfo& info);

    LookupEndHandler m_lookupEnded;
    std::string m_written;
    std::string m_name;
    std::optional<snmp::InetAddress> m_address;
    QHostAddress m_qtAddress;
    std::optional<Lookup> m_lookup;
};

} // namespace brellan
