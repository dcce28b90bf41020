// SPDX-License-Identifier: GPL-3.0-or-later
#include "VariableList.h"

#include "SnmpError.h"

namespace brellan {

void VariableList::setCount(int count)
{
    if (count < 0 || count > maxCount) {
        throw SnmpError("VarCount must be between 0 and " + std::to_string(maxCount) + ", not "
                        + std::to_string(count));
    }
    m_variables.resize(static_cast<std::size_t>(count));
}

void VariableList::setOid(int index, const std::string& dottedOid)
{
    if (index < 1 || index > static_cast<int>(m_variables.size())) {
        throw SnmpError("VarOid(" + std::to_string(index) + ") is out of range: VarCount is "
                        + std::to_string(m_variables.size()));
    }
    std::optional<snmp::Oid> parsed = snmp::parseOid(dottedOid);
    if (!parsed) {
        throw SnmpError("Invalid object identifier \"" + dottedOid
                        + "\": expected dotted decimal such as 1.3.6.1.2.1.1.5.0");
    }
    m_variables[static_cast<std::size_t>(index - 1)] = {std::move(parsed), snmp::Value{}};
}

const VariableList::Variable& VariableList::at(const char* member, int index) const
{
    if (index < 1 || index > static_cast<int>(m_variables.size())) {
        throw SnmpError(std::string(member) + "(" + std::to_string(index) + ") is out of range: the variable list has "
                        + std::to_string(m_variables.size()) + " binding(s)");
    }
    return m_variables[static_cast<std::size_t>(index - 1)];
}

// An identifier not yet written reads as empty.
std::string VariableList::oidText(const char* member, int index) const
{
    const std::optional<snmp::Oid>& oid = at(member, index).oid;
    return oid ? snmp::formatOid(*oid) : std::string();
}

std::string VariableList::valueText(const char* member, int index) const
{
    return snmp::valueText(at(member, index).value);
}

std::vector<snmp::Oid> VariableList::requestOids() const
{
    if (m_variables.empty())
        throw SnmpError("Nothing to send: the variable list is empty (set VarCount and VarOid first)");
    std::vector<snmp::Oid> oids;
    oids.reserve(m_variables.size());
    for (std::size_t i = 0; i < m_variables.size(); ++i) {
        const std::optional<snmp::Oid>& oid = m_variables[i].oid;
        if (!oid)
            throw SnmpError("Nothing to send: VarOid(" + std::to_string(i + 1) + ") is not set");
        oids.push_back(*oid);
    }
    return oids;
}

void VariableList::replaceWith(std::vector<snmp::VarBind>&& bindings)
{
    m_variables.clear();
    m_variables.reserve(bindings.size());
    for (snmp::VarBind& binding : bindings)
        m_variables.push_back({std::move(binding.oid), std::move(binding.value)});
}

} // namespace brellan
