// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ManagerState.h"
#include "NameIndex.h"
#include "Module1.h"
#include "SnmpComponent.h"

#include <QWidget>

#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTreeWidget;

namespace brellan {

class HandlerGuard;
class TrapListModel;
struct TwipsRect;

// The program's one window. It is the displayed state: each ManagerState
// operation reads or writes its control directly. It owns the manager
// (Module1) and the SNMP component SNMP1, and wires the buttons, the agent
// list, its own resize and the component's events to the manager.
//
// Every control carries its designer name as objectName ("cmdFind",
// "lvwAgentList", "OIDName0".."OIDName6", ...), so test drivers find them
// with findChild.
class Form1 final : public QWidget, public ManagerState {
    Q_OBJECT

public:
    explicit Form1(std::unique_ptr<SnmpComponent> snmp1, QWidget* parent = nullptr);
    ~Form1() override;

    // Sets each agent-list column to 0.49 of the list's outer width.
    void resizeColumns();

    // Tells the operator that traps cannot be received, and why, without
    // holding up start-up: a box that does not block the window, and the
    // same text as the trap list's tooltip.
    void showTrapReceiverProblem(const QString& text);
    // Puts what the operator is to know of the trap receiver (how many traps
    // were lost, say) into the trap list's tooltip, above the copy keys that
    // the tooltip always names, and into its accessible description; empty
    // leaves the copy keys alone.
    void showTrapReceiverState(const QString& text);
    // The names that text made from here on uses (trap details, the
    // ObjectID box): the built-in ones at first, then those loaded in the
    // background, handed over whole on the GUI thread. A filled ObjectID box
    // is shown again with them.
    void useNames(std::shared_ptr<const names::NameIndex> names);

    // ManagerState
    void clearAgentRows() override;
    void appendAgentRow(const std::string& address) override;
    int agentRowCount() const override;
    void setAgentRowName(int position, const std::string& name) override;
    std::optional<std::string> selectedAgentAddress() const override;
    std::string addressEntry() const override;
    void setAddressEntry(const std::string& text) override;
    std::string nameEntry() const override;
    void setNameEntry(const std::string& text) override;
    void setSystemValue(SystemObject object, const std::string& text) override;
    void setStatusLine(const std::string& text) override;
    void appendTrapLine(const std::string& text) override;
    void showMessage(const std::string& text) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void nameForScreenReaders();
    void setUpAgentList();
    void chooseFonts();
    void setUpTabOrder();
    void wireEvents();
    void logTrap(std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress,
                 const ReceivedTrap& trap);
    void place(QWidget* control, const TwipsRect& rect) const;
    QLineEdit* createValueBox(QWidget* frame, const char* name, int top);
    QLabel* createValueCaption(QWidget* frame, int index, const char* caption, int top);
    int agentListColumn(const QString& key) const;
    void showSystemValue(SystemObject object, const QString& text);
    QString objectIdText(const std::string& value) const;

    static SnmpComponent& require(const std::unique_ptr<SnmpComponent>& snmp1);

    // The agent list's column keys, which are also their header texts, in
    // display order.
    static constexpr const char* addressColumnKey = "IPAddress";
    static constexpr const char* nameColumnKey = "sysName";

    std::unique_ptr<SnmpComponent> m_snmp1;
    std::shared_ptr<const names::NameIndex> m_names = names::builtInNames();
    Module1 m_module1;
    // The ObjectID box's value as the manager gave it, before its name.
    std::string m_sysObjectIdValue;
    HandlerGuard* m_guard = nullptr;

    // Owned by their Qt parents.
    TrapListModel* m_trapLines = nullptr;
    QListView* m_lstTrapList = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QPushButton* m_cmdFind = nullptr;
    QLineEdit* m_txtAddIPAddress = nullptr;
    QPushButton* m_cmdAdd = nullptr;
    QLineEdit* m_txtAddsysName = nullptr;
    QTreeWidget* m_lvwAgentList = nullptr;
    QGroupBox* m_frame1 = nullptr;
    std::array<QLineEdit*, systemObjectCount> m_systemValueBoxes{};
    std::array<QLabel*, systemObjectCount> m_oidName{};
    QLabel* m_label2 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_lblStatus = nullptr;
};

} // namespace brellan
