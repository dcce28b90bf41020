// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Message.h"

#include <optional>
#include <string>
#include <vector>

namespace brellan {

// The component's variable list: the bindings the next request asks for,
// or, after a response, the bindings it answered. Members index it from 1,
// as VarOid(i) and VarValue(i) do; a bad index or identifier raises
// SnmpError with the member's name. Texts are made when they are read: the
// manager reads one binding's value, and only for some answers.
class VariableList {
public:
    static constexpr int maxCount = 128;

    void setCount(int count);
    void setOid(int index, const std::string& dottedOid);
    std::string oidText(const char* member, int index) const;
    std::string valueText(const char* member, int index) const;

    // The identifiers a request carries, all set and all encodable.
    std::vector<snmp::Oid> requestOids() const;
    // The answer's bindings become the list (the next GetNext asks for
    // what follows them).
    void replaceWith(std::vector<snmp::VarBind>&& bindings);
    void clear() { m_variables.clear(); }

private:
    struct Variable {
        std::optional<snmp::Oid> oid; // unset until VarOid(i) is written
        snmp::Value value;
    };

    const Variable& at(const char* member, int index) const;

    std::vector<Variable> m_variables;
};

} // namespace brellan
