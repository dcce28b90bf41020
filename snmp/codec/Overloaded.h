// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace brellan::snmp {

// One visitor from several lambdas, for std::visit over the value and PDU
// variants: each alternative goes to the lambda that takes it.
template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

} // namespace brellan::snmp
