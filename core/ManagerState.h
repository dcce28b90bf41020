// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace brellan {

// The seven objects of the MIB-II system group, in the order of their
// object identifiers (and so in the order a walk fills them).
enum class SystemObject { sysDescr, sysObjectID, sysUpTime, sysContact, sysName, sysLocation, sysServices };
inline constexpr int systemObjectCount = 7;

// Everything the operator sees, reached through the operations the manager
// needs. The window implements it over its controls; tests use MemoryState.
// All texts are UTF-8.
class ManagerState {
public:
    virtual ~ManagerState() = default;

    // The agent list: rows of (address, name), in the order appended.
    virtual void clearAgentRows() = 0;
    virtual void appendAgentRow(const std::string& address) = 0;
    virtual int agentRowCount() const = 0;
    // `position` is 1-based; callers pass agentRowCount(), the last row.
    virtual void setAgentRowName(int position, const std::string& name) = 0;
    // The address of the row the operator selected, if any row is selected.
    virtual std::optional<std::string> selectedAgentAddress() const = 0;

    // The two entry fields of the add command.
    virtual std::string addressEntry() const = 0;
    virtual void setAddressEntry(const std::string& text) = 0;
    virtual std::string nameEntry() const = 0;
    virtual void setNameEntry(const std::string& text) = 0;

    virtual void setSystemValue(SystemObject object, const std::string& text) = 0;
    virtual void setStatusLine(const std::string& text) = 0;
    virtual void appendTrapLine(const std::string& text) = 0;

    // A modal message with an OK button alone; returns once it is closed.
    virtual void showMessage(const std::string& text) = 0;

protected:
    ManagerState() = default;
    ManagerState(const ManagerState&) = default;
    ManagerState& operator=(const ManagerState&) = default;
};

} // namespace brellan
