// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace brellan {

// The one error type a failed member call of the SNMP component raises.
// Its message says, in words an operator can read, what failed and why.
class SnmpError : public std::runtime_error {
public:
    explicit SnmpError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace brellan
