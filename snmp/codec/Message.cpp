// SPDX-License-Identifier: GPL-3.0-or-later
#include "Message.h"

namespace brellan::snmp {

PduType Message::type() const
{
    if (std::holds_alternative<TrapPdu>(pdu))
        return PduType::TrapV1;
    return std::get<Pdu>(pdu).type;
}

const std::vector<VarBind>& Message::bindings() const
{
    return std::visit([](const auto& shape) -> const std::vector<VarBind>& { return shape.bindings; }, pdu);
}

} // namespace brellan::snmp
