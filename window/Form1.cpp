// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"

#include "ConnectManager.h"
#include "HandlerGuard.h"
#include "ListKeySelect.h"
#include "NonModalMessage.h"
#include "ShownNames.h"
#include "TrapListModel.h"
#include "TrapListView.h"
#include "Twips.h"

#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QTreeWidget>

#include <cmath>
#include <stdexcept>
#include <string>

namespace brellan {
namespace {

constexpr int clientWidth = 5790;
constexpr int clientHeight = 6900;
constexpr double columnShare = 0.49;

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

Form1::Form1(std::unique_ptr<SnmpComponent> snmp1, QWidget* parent)
    : QWidget(parent), m_snmp1(std::move(snmp1)), m_module1(*this, require(m_snmp1))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Brellan"));
    // A fixed tool window: no minimise or maximise button, no task-bar entry.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Tool windows do not end the program by default; this one does.
    setAttribute(Qt::WA_QuitOnClose, true);
    setFixedSize(twipsToPixels(clientWidth, logicalDpiX()), twipsToPixels(clientHeight, logicalDpiY()));

    m_guard = new HandlerGuard(this);
    createControls();
    chooseFonts();
    setUpTabOrder();
    wireEvents();
    m_cmdFind->setFocus();
}

Form1::~Form1() = default;

SnmpComponent& Form1::require(const std::unique_ptr<SnmpComponent>& snmp1)
{
    if (!snmp1)
        throw std::invalid_argument("Form1 needs an SNMP component");
    return *snmp1;
}

// The only handlers of the program. The buttons' access keys (Alt+F, Alt+A)
// click the buttons, and Enter or Space on the agent list chooses its
// current row as a click does, so keyboard and mouse run the same command.
void Form1::wireEvents()
{
    connect(m_cmdFind, &QPushButton::clicked, this,
            [this] { m_guard->run("Could not search for agents", [this] { m_module1.findAgents(); }); });
    connect(m_cmdAdd, &QPushButton::clicked, this,
            [this] { m_guard->run("Could not add the agent", [this] { m_module1.addAgent(); }); });
    const auto selectAgent = [this] {
        m_guard->run("Could not select the agent", [this] { m_module1.selectAgent(); });
    };
    connect(m_lvwAgentList, &QTreeWidget::clicked, this, selectAgent);
    connect(new ListKeySelect(*m_lvwAgentList), &ListKeySelect::rowChosen, this, selectAgent);
    connectManager(
        *m_snmp1, m_module1,
        [this](const char* failure, const std::function<void()>& handler) { m_guard->run(failure, handler); },
        [this](std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress,
               const ReceivedTrap& trap) { logTrap(genericTrap, specificTrap, agentAddress, trap); });
}

// The manager logs the trap; if that made a line, the trap is kept behind
// it for its details. (A trap of an unknown generic code makes no line.)
void Form1::logTrap(std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress,
                    const ReceivedTrap& trap)
{
    const std::size_t linesBefore = m_trapLines->lineCount();
    m_module1.onTrap(genericTrap, specificTrap, agentAddress);
    if (m_trapLines->lineCount() == linesBefore + 1)
        m_trapLines->keepTrap(linesBefore, trap);
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_guard->run("Could not size the agent list's columns", [this] { resizeColumns(); });
}

int Form1::agentListColumn(const QString& key) const
{
    const QTreeWidgetItem* header = m_lvwAgentList->headerItem();
    for (int column = 0; column < header->columnCount(); ++column) {
        if (header->data(column, Qt::UserRole).toString() == key)
            return column;
    }
    throw std::logic_error("the agent list has no column " + key.toStdString());
}

void Form1::resizeColumns()
{
    const int width = static_cast<int>(std::lround(columnShare * m_lvwAgentList->width()));
    for (const char* key : {addressColumnKey, nameColumnKey})
        m_lvwAgentList->setColumnWidth(agentListColumn(QString::fromLatin1(key)), width);
}

void Form1::showTrapReceiverProblem(const QString& text)
{
    if (text.isEmpty())
        return;
    showTrapReceiverState(text);
    showNonModalMessage(this, QMessageBox::Warning, text, QStringLiteral("trapReceiverProblem"));
}

void Form1::useNames(std::shared_ptr<const names::NameIndex> names)
{
    m_names = std::move(names);
    m_trapLines->useNames(m_names);
    if (!m_sysObjectIdValue.empty())
        showSystemValue(SystemObject::sysObjectID, objectIdText(m_sysObjectIdValue));
}

void Form1::showTrapReceiverState(const QString& text)
{
    const QString keys = TrapListView::keysText();
    m_lstTrapList->setToolTip(text.isEmpty() ? keys : text + QLatin1Char('\n') + keys);
    // A screen reader's user hears what the tooltip shows of the receiver.
    m_lstTrapList->setAccessibleDescription(text);
}

void Form1::clearAgentRows()
{
    m_lvwAgentList->clear();
}

void Form1::appendAgentRow(const std::string& address)
{
    auto* row = new QTreeWidgetItem(m_lvwAgentList, QStringList{fromUtf8(address), QString()});
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
}

int Form1::agentRowCount() const
{
    return m_lvwAgentList->topLevelItemCount();
}

void Form1::setAgentRowName(int position, const std::string& name)
{
    QTreeWidgetItem* row = m_lvwAgentList->topLevelItem(position - 1);
    if (!row)
        throw std::out_of_range("the agent list has no row " + std::to_string(position));
    row->setText(1, fromUtf8(name));
}

std::optional<std::string> Form1::selectedAgentAddress() const
{
    const QList<QTreeWidgetItem*> selected = m_lvwAgentList->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.front()->text(0).toStdString();
}

std::string Form1::addressEntry() const
{
    return m_txtAddIPAddress->text().toStdString();
}

void Form1::setAddressEntry(const std::string& text)
{
    m_txtAddIPAddress->setText(fromUtf8(text));
}

std::string Form1::nameEntry() const
{
    return m_txtAddsysName->text().toStdString();
}

void Form1::setNameEntry(const std::string& text)
{
    m_txtAddsysName->setText(fromUtf8(text));
}

void Form1::setSystemValue(SystemObject object, const std::string& text)
{
    if (object != SystemObject::sysObjectID) {
        showSystemValue(object, fromUtf8(text));
        return;
    }
    m_sysObjectIdValue = text;
    showSystemValue(object, objectIdText(text));
}

void Form1::showSystemValue(SystemObject object, const QString& text)
{
    QLineEdit* box = m_systemValueBoxes.at(static_cast<std::size_t>(object));
    box->setText(text);
    box->setCursorPosition(0); // a long value shows its beginning
}

// "1.3.6.1.4.1.8072.3.2.10 (NET-SNMP-TC::linux)": the number first, as the
// agent sent it, then its name where one is known. A value that is not an
// object identifier reads as it came.
QString Form1::objectIdText(const std::string& value) const
{
    const std::optional<snmp::Oid> oid = snmp::parseOid(value);
    const std::optional<std::string> name = oid && m_names ? shownOidName(*m_names, *oid) : std::nullopt;
    return fromUtf8(name ? value + " (" + *name + ")" : value);
}

void Form1::setStatusLine(const std::string& text)
{
    m_lblStatus->setText(fromUtf8(text));
    m_lblStatus->setAccessibleDescription(m_lblStatus->text());
}

void Form1::appendTrapLine(const std::string& text)
{
    m_trapLines->append(text);
}

void Form1::showMessage(const std::string& text)
{
    const QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Brellan"), fromUtf8(text), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("messageBox"));
    box->exec();
    delete box.data();
}

} // namespace brellan
