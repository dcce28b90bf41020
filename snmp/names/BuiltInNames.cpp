// SPDX-License-Identifier: GPL-3.0-or-later
// The names this program knows with no MIB file installed: the arcs every
// identifier passes through, the system and snmp groups and their
// notifications, the interfaces (with their status labels), the ip, icmp,
// tcp and udp groups, and the two objects a proxy adds to a trap.
#include "NameIndex.h"

#include <initializer_list>
#include <string_view>

namespace brellan::names {

namespace {

using Labels = std::vector<std::pair<std::int64_t, std::string>>;

class BuiltInTable {
public:
    explicit BuiltInTable(NameIndex& index) : m_index(index) {}

    void node(std::string_view module, std::string_view name, snmp::Oid oid, Labels labels = {})
    {
        m_index.add(std::move(oid), {std::string(module), std::string(name), std::move(labels)});
    }

    // Names the arcs 1, 2, 3... under `parent` in order; an empty name
    // skips an arc that has none.
    void numbered(std::string_view module, const snmp::Oid& parent, std::initializer_list<std::string_view> names)
    {
        std::uint32_t arc = 1;
        for (const std::string_view name : names) {
            if (!name.empty())
                node(module, name, child(parent, arc));
            ++arc;
        }
    }

    static snmp::Oid child(snmp::Oid parent, std::uint32_t arc)
    {
        parent.push_back(arc);
        return parent;
    }

private:
    NameIndex& m_index;
};

const snmp::Oid mib2{1, 3, 6, 1, 2, 1};
const snmp::Oid snmpTraps{1, 3, 6, 1, 6, 3, 1, 1, 5};

snmp::Oid under(const snmp::Oid& parent, std::initializer_list<std::uint32_t> arcs)
{
    snmp::Oid oid = parent;
    oid.insert(oid.end(), arcs);
    return oid;
}

void addSmiArcs(BuiltInTable& table)
{
    const std::string_view smi = "SNMPv2-SMI";
    table.node(smi, "zeroDotZero", {0, 0});
    table.node(smi, "iso", {1});
    table.node(smi, "org", {1, 3});
    table.node(smi, "dod", {1, 3, 6});
    table.node(smi, "internet", {1, 3, 6, 1});
    table.numbered(smi, {1, 3, 6, 1}, {"directory", "mgmt", "experimental", "private", "security", "snmpV2"});
    table.node(smi, "mib-2", mib2);
    table.node(smi, "transmission", under(mib2, {10}));
    table.node(smi, "enterprises", {1, 3, 6, 1, 4, 1});
    table.numbered(smi, {1, 3, 6, 1, 6}, {"snmpDomains", "snmpProxys", "snmpModules"});
}

void addSnmpv2Mib(BuiltInTable& table)
{
    const std::string_view module = "SNMPv2-MIB";
    const snmp::Oid system = under(mib2, {1});
    table.node(module, "system", system);
    table.numbered(module, system,
                   {"sysDescr", "sysObjectID", "sysUpTime", "sysContact", "sysName", "sysLocation", "sysServices",
                    "sysORLastChange", "sysORTable"});
    table.node(module, "sysOREntry", under(system, {9, 1}));
    table.numbered(module, under(system, {9, 1}), {"sysORIndex", "sysORID", "sysORDescr", "sysORUpTime"});

    const snmp::Oid snmp = under(mib2, {11});
    table.node(module, "snmp", snmp);
    table.numbered(module, snmp,
                   {"snmpInPkts", "snmpOutPkts", "snmpInBadVersions", "snmpInBadCommunityNames",
                    "snmpInBadCommunityUses", "snmpInASNParseErrs", "", "snmpInTooBigs", "snmpInNoSuchNames",
                    "snmpInBadValues", "snmpInReadOnlys", "snmpInGenErrs", "snmpInTotalReqVars",
                    "snmpInTotalSetVars", "snmpInGetRequests", "snmpInGetNexts", "snmpInSetRequests",
                    "snmpInGetResponses", "snmpInTraps", "snmpOutTooBigs", "snmpOutNoSuchNames",
                    "snmpOutBadValues", "", "snmpOutGenErrs", "snmpOutGetRequests", "snmpOutGetNexts",
                    "snmpOutSetRequests", "snmpOutGetResponses", "snmpOutTraps", "", "snmpSilentDrops",
                    "snmpProxyDrops"});
    table.node(module, "snmpEnableAuthenTraps", under(snmp, {30}), {{1, "enabled"}, {2, "disabled"}});

    table.node(module, "snmpMIB", {1, 3, 6, 1, 6, 3, 1});
    table.node(module, "snmpMIBObjects", {1, 3, 6, 1, 6, 3, 1, 1});
    table.node(module, "snmpTrap", {1, 3, 6, 1, 6, 3, 1, 1, 4});
    table.node(module, "snmpTrapOID", {1, 3, 6, 1, 6, 3, 1, 1, 4, 1});
    table.node(module, "snmpTrapEnterprise", {1, 3, 6, 1, 6, 3, 1, 1, 4, 3});
    table.node(module, "snmpTraps", snmpTraps);
    table.node(module, "coldStart", under(snmpTraps, {1}));
    table.node(module, "warmStart", under(snmpTraps, {2}));
    table.node(module, "authenticationFailure", under(snmpTraps, {5}));
    // The EGP neighbour's loss keeps the module of MIB-II's egp group.
    table.node("RFC1213-MIB", "egpNeighborLoss", under(snmpTraps, {6}));
}

Labels ifStatusLabels(bool operational)
{
    Labels labels{{1, "up"}, {2, "down"}, {3, "testing"}};
    if (operational)
        labels.insert(labels.end(), {{4, "unknown"}, {5, "dormant"}, {6, "notPresent"}, {7, "lowerLayerDown"}});
    return labels;
}

Labels ifTypeLabels()
{
    return {{1, "other"},        {6, "ethernetCsmacd"}, {23, "ppp"},      {24, "softwareLoopback"},
            {32, "frameRelay"},  {37, "atm"},           {53, "propVirtual"}, {71, "ieee80211"},
            {131, "tunnel"},     {135, "l2vlan"},       {161, "ieee8023adLag"}, {209, "bridge"}};
}

void addIfMib(BuiltInTable& table)
{
    const std::string_view module = "IF-MIB";
    const snmp::Oid interfaces = under(mib2, {2});
    const snmp::Oid ifEntry = under(interfaces, {2, 1});
    table.node(module, "interfaces", interfaces);
    table.numbered(module, interfaces, {"ifNumber", "ifTable"});
    table.node(module, "ifEntry", ifEntry);
    table.numbered(module, ifEntry,
                   {"ifIndex", "ifDescr", "", "ifMtu", "ifSpeed", "ifPhysAddress", "", "", "ifLastChange",
                    "ifInOctets", "ifInUcastPkts", "ifInNUcastPkts", "ifInDiscards", "ifInErrors",
                    "ifInUnknownProtos", "ifOutOctets", "ifOutUcastPkts", "ifOutNUcastPkts", "ifOutDiscards",
                    "ifOutErrors", "ifOutQLen", "ifSpecific"});
    table.node(module, "ifType", under(ifEntry, {3}), ifTypeLabels());
    table.node(module, "ifAdminStatus", under(ifEntry, {7}), ifStatusLabels(false));
    table.node(module, "ifOperStatus", under(ifEntry, {8}), ifStatusLabels(true));

    const snmp::Oid ifMIB = under(mib2, {31});
    const snmp::Oid ifMIBObjects = under(ifMIB, {1});
    const snmp::Oid ifXEntry = under(ifMIBObjects, {1, 1});
    table.node(module, "ifMIB", ifMIB);
    table.node(module, "ifMIBObjects", ifMIBObjects);
    table.node(module, "ifXTable", under(ifMIBObjects, {1}));
    table.node(module, "ifTableLastChange", under(ifMIBObjects, {5}));
    table.node(module, "ifStackLastChange", under(ifMIBObjects, {6}));
    table.node(module, "ifXEntry", ifXEntry);
    table.numbered(module, ifXEntry,
                   {"ifName", "ifInMulticastPkts", "ifInBroadcastPkts", "ifOutMulticastPkts",
                    "ifOutBroadcastPkts", "ifHCInOctets", "ifHCInUcastPkts", "ifHCInMulticastPkts",
                    "ifHCInBroadcastPkts", "ifHCOutOctets", "ifHCOutUcastPkts", "ifHCOutMulticastPkts",
                    "ifHCOutBroadcastPkts", "", "ifHighSpeed", "", "", "ifAlias", "ifCounterDiscontinuityTime"});
    const Labels truthValue{{1, "true"}, {2, "false"}};
    table.node(module, "ifLinkUpDownTrapEnable", under(ifXEntry, {14}), {{1, "enabled"}, {2, "disabled"}});
    table.node(module, "ifPromiscuousMode", under(ifXEntry, {16}), truthValue);
    table.node(module, "ifConnectorPresent", under(ifXEntry, {17}), truthValue);

    table.node(module, "linkDown", under(snmpTraps, {3}));
    table.node(module, "linkUp", under(snmpTraps, {4}));
}

void addIpGroup(BuiltInTable& table)
{
    const std::string_view module = "IP-MIB";
    const snmp::Oid ip = under(mib2, {4});
    table.node(module, "ip", ip);
    table.numbered(module, ip,
                   {"", "ipDefaultTTL", "ipInReceives", "ipInHdrErrors", "ipInAddrErrors", "ipForwDatagrams",
                    "ipInUnknownProtos", "ipInDiscards", "ipInDelivers", "ipOutRequests", "ipOutDiscards",
                    "ipOutNoRoutes", "ipReasmTimeout", "ipReasmReqds", "ipReasmOKs", "ipReasmFails", "ipFragOKs",
                    "ipFragFails", "ipFragCreates", "ipAddrTable", "", "ipNetToMediaTable", "ipRoutingDiscards"});
    table.node(module, "ipForwarding", under(ip, {1}), {{1, "forwarding"}, {2, "notForwarding"}});
    table.node(module, "ipAddrEntry", under(ip, {20, 1}));
    table.numbered(module, under(ip, {20, 1}),
                   {"ipAdEntAddr", "ipAdEntIfIndex", "ipAdEntNetMask", "ipAdEntBcastAddr", "ipAdEntReasmMaxSize"});
    table.node(module, "ipNetToMediaEntry", under(ip, {22, 1}));
    table.numbered(module, under(ip, {22, 1}),
                   {"ipNetToMediaIfIndex", "ipNetToMediaPhysAddress", "ipNetToMediaNetAddress"});
    table.node(module, "ipNetToMediaType", under(ip, {22, 1, 4}),
               {{1, "other"}, {2, "invalid"}, {3, "dynamic"}, {4, "static"}});

    // The routing table stayed in MIB-II's own module.
    const std::string_view mib2Module = "RFC1213-MIB";
    table.node(mib2Module, "ipRouteTable", under(ip, {21}));
    table.node(mib2Module, "ipRouteEntry", under(ip, {21, 1}));
    table.numbered(mib2Module, under(ip, {21, 1}),
                   {"ipRouteDest", "ipRouteIfIndex", "ipRouteMetric1", "ipRouteMetric2", "ipRouteMetric3",
                    "ipRouteMetric4", "ipRouteNextHop", "ipRouteType", "ipRouteProto", "ipRouteAge", "ipRouteMask",
                    "ipRouteMetric5", "ipRouteInfo"});

    const snmp::Oid icmp = under(mib2, {5});
    table.node(module, "icmp", icmp);
    table.numbered(module, icmp,
                   {"icmpInMsgs", "icmpInErrors", "icmpInDestUnreachs", "icmpInTimeExcds", "icmpInParmProbs",
                    "icmpInSrcQuenchs", "icmpInRedirects", "icmpInEchos", "icmpInEchoReps", "icmpInTimestamps",
                    "icmpInTimestampReps", "icmpInAddrMasks", "icmpInAddrMaskReps", "icmpOutMsgs", "icmpOutErrors",
                    "icmpOutDestUnreachs", "icmpOutTimeExcds", "icmpOutParmProbs", "icmpOutSrcQuenchs",
                    "icmpOutRedirects", "icmpOutEchos", "icmpOutEchoReps", "icmpOutTimestamps",
                    "icmpOutTimestampReps", "icmpOutAddrMasks", "icmpOutAddrMaskReps"});
}

void addTransportGroups(BuiltInTable& table)
{
    const std::string_view tcpModule = "TCP-MIB";
    const snmp::Oid tcp = under(mib2, {6});
    table.node(tcpModule, "tcp", tcp);
    table.numbered(tcpModule, tcp,
                   {"", "tcpRtoMin", "tcpRtoMax", "tcpMaxConn", "tcpActiveOpens", "tcpPassiveOpens",
                    "tcpAttemptFails", "tcpEstabResets", "tcpCurrEstab", "tcpInSegs", "tcpOutSegs", "tcpRetransSegs",
                    "tcpConnTable", "tcpInErrs", "tcpOutRsts", "", "tcpHCInSegs", "tcpHCOutSegs"});
    table.node(tcpModule, "tcpRtoAlgorithm", under(tcp, {1}),
               {{1, "other"}, {2, "constant"}, {3, "rsre"}, {4, "vanj"}, {5, "rfc2988"}});
    table.node(tcpModule, "tcpConnEntry", under(tcp, {13, 1}));
    table.numbered(tcpModule, under(tcp, {13, 1}),
                   {"", "tcpConnLocalAddress", "tcpConnLocalPort", "tcpConnRemAddress", "tcpConnRemPort"});
    table.node(tcpModule, "tcpConnState", under(tcp, {13, 1, 1}),
               {{1, "closed"}, {2, "listen"}, {3, "synSent"}, {4, "synReceived"}, {5, "established"},
                {6, "finWait1"}, {7, "finWait2"}, {8, "closeWait"}, {9, "lastAck"}, {10, "closing"},
                {11, "timeWait"}, {12, "deleteTCB"}});

    const std::string_view udpModule = "UDP-MIB";
    const snmp::Oid udp = under(mib2, {7});
    table.node(udpModule, "udp", udp);
    table.numbered(udpModule, udp, {"udpInDatagrams", "udpNoPorts", "udpInErrors", "udpOutDatagrams", "udpTable"});
    table.node(udpModule, "udpEntry", under(udp, {5, 1}));
    table.numbered(udpModule, under(udp, {5, 1}), {"udpLocalAddress", "udpLocalPort"});
}

void addCommunityMib(BuiltInTable& table)
{
    const std::string_view module = "SNMP-COMMUNITY-MIB";
    const snmp::Oid communityMib{1, 3, 6, 1, 6, 3, 18};
    table.node(module, "snmpCommunityMIB", communityMib);
    table.node(module, "snmpCommunityMIBObjects", under(communityMib, {1}));
    table.node(module, "snmpTrapAddress", under(communityMib, {1, 3}));
    table.node(module, "snmpTrapCommunity", under(communityMib, {1, 4}));
}

} // namespace

std::shared_ptr<const NameIndex> builtInNames()
{
    static const std::shared_ptr<const NameIndex> index = [] {
        auto built = std::make_shared<NameIndex>();
        BuiltInTable table(*built);
        addSmiArcs(table);
        addSnmpv2Mib(table);
        addIfMib(table);
        addIpGroup(table);
        addTransportGroups(table);
        addCommunityMib(table);
        return std::shared_ptr<const NameIndex>(std::move(built));
    }();
    return index;
}

} // namespace brellan::names
