// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form1.h"
#include "UdpEngine.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QTreeWidgetItem;

namespace brellan::lan {

// A message box the operator read and closed.
struct SeenBox {
    QString objectName;
    QString title;
    QString text;
};

// The real window over the real engine with its built-in settings (UDP 161
// for agents, 162 for traps), driven only through its controls: clicks on
// the buttons and on agent-list rows, keys into the entry fields, reading
// what the window shows. Message boxes are read and closed with OK as soon
// as they open.
class Operator {
public:
    Operator();
    ~Operator();
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;

    // Whether the window was shown and became active.
    bool windowActive() const { return m_windowActive; }
    Form1& form() { return *m_form; }
    const UdpEngine& engine() const { return *m_engine; }

    void clickFindAgents();
    void addAgent(const QString& address, const QString& name);
    // Scrolls the row with `address` into view and clicks it; false when
    // there is no such row.
    bool clickAgentRow(const QString& address);

    struct Row {
        QString address;
        QString name;
    };
    std::vector<Row> rows() const;
    QStringList trapLines() const;
    QString status() const;
    // The seven system-value boxes, sysDescr first.
    std::array<QString, 7> systemValues() const;
    void clearSystemValues();
    void setSystemValue(int index, const QString& text);

    // Milliseconds since the last clickFindAgents() at which each agent row
    // appeared.
    const std::vector<qint64>& rowTimes() const { return m_rowTimes; }
    qint64 sinceFindMs() const { return m_sinceFind.elapsed(); }
    // Milliseconds since the last clickAgentRow().
    qint64 sinceSelectMs() const { return m_sinceSelect.elapsed(); }
    const std::vector<SeenBox>& seenBoxes() const { return m_seenBoxes; }

    // Runs the event loop until `done` holds or `timeoutMs` passes.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs);
    static void settle(int ms);

private:
    void closeModalBox();
    QTreeWidgetItem* rowItem(const QString& address) const;

    UdpEngine* m_engine = nullptr; // owned by the window
    std::unique_ptr<Form1> m_form;
    bool m_windowActive = false;
    QTimer m_boxCloser;
    std::vector<SeenBox> m_seenBoxes;
    QElapsedTimer m_sinceFind;
    QElapsedTimer m_sinceSelect;
    std::vector<qint64> m_rowTimes;
};

} // namespace brellan::lan
