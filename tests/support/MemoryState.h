// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ManagerState.h"

#include <array>
#include <vector>

namespace brellan {

struct AgentRow {
    std::string address;
    std::string name;
    bool operator==(const AgentRow&) const = default;
};

// ManagerState held in plain containers: for tests, benchmarks and tools
// that run the manager without a window. Messages are recorded, not shown.
class MemoryState final : public ManagerState {
public:
    std::vector<AgentRow> agentRows;
    std::optional<int> selectedRow; // 0-based index into agentRows
    std::string address;
    std::string name;
    std::array<std::string, systemObjectCount> systemValues;
    std::string statusLine;
    std::vector<std::string> trapLines;
    std::vector<std::string> messages;

    void clearAgentRows() override
    {
        agentRows.clear();
        selectedRow.reset();
    }
    void appendAgentRow(const std::string& rowAddress) override { agentRows.push_back({rowAddress, {}}); }
    int agentRowCount() const override { return static_cast<int>(agentRows.size()); }
    void setAgentRowName(int position, const std::string& rowName) override
    {
        agentRows.at(static_cast<std::size_t>(position - 1)).name = rowName;
    }
    std::optional<std::string> selectedAgentAddress() const override
    {
        if (!selectedRow || *selectedRow < 0 || *selectedRow >= agentRowCount())
            return std::nullopt;
        return agentRows[static_cast<std::size_t>(*selectedRow)].address;
    }

    std::string addressEntry() const override { return address; }
    void setAddressEntry(const std::string& text) override { address = text; }
    std::string nameEntry() const override { return name; }
    void setNameEntry(const std::string& text) override { name = text; }

    void setSystemValue(SystemObject object, const std::string& text) override
    {
        systemValues[static_cast<std::size_t>(object)] = text;
    }
    const std::string& systemValue(SystemObject object) const
    {
        return systemValues[static_cast<std::size_t>(object)];
    }
    void setStatusLine(const std::string& text) override { statusLine = text; }
    void appendTrapLine(const std::string& text) override { trapLines.push_back(text); }
    void showMessage(const std::string& text) override { messages.push_back(text); }
};

} // namespace brellan
