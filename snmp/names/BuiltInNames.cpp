// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameIndex.h"

namespace brellan::names {

std::shared_ptr<const NameIndex> builtInNames()
{
    static const std::shared_ptr<const NameIndex> index = [] {
        auto built = std::make_shared<NameIndex>();
        built->add({1, 3, 6, 1, 2, 1, 1, 1}, {"SNMPv2-MIB", "sysDescr", {}});
        built->add({1, 3, 6, 1, 2, 1, 1, 3}, {"SNMPv2-MIB", "sysUpTime", {}});
        built->add({1, 3, 6, 1, 2, 1, 2, 2, 1, 8}, {"IF-MIB", "ifOperStatus", {{1, "up"}, {2, "down"}, {3, "testing"}}});
        built->add({1, 3, 6, 1, 6, 3, 1, 1, 4, 1}, {"SNMPv2-MIB", "snmpTrapOID", {}});
        built->add({1, 3, 6, 1, 6, 3, 1, 1, 5, 3}, {"IF-MIB", "linkDown", {}});
        return std::shared_ptr<const NameIndex>(std::move(built));
    }();
    return index;
}

} // namespace brellan::names
