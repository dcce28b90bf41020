#include "Form1.h"

#include "HandlerGuard.h"
#include "TrapListModel.h"
#include "Twips.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace brellan {
namespace {

constexpr int clientWidth = 5790;
constexpr int clientHeight = 6900;
constexpr int initialColumnWidth = 1440;
constexpr double columnShare = 0.49;

const char* const helpText =
    "This demo shows how to create a basic Brellan.  To start, click 'Find Agents' to find the SNMP agents on "
    "your LAN, or add an SNMP agent at a specified IP address.  Then select the Agent in the 'Agent List Box' "
    "to retrieve system values.";

// The agent list's columns, in display order: key and header text.
const char* const addressColumnKey = "IPAddress";
const char* const nameColumnKey = "sysName";

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The layout was drawn for an 8-point sans-serif face about as wide as
// Liberation Sans; where the system lacks such a face, sizes shrink below.
QFont preferredFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                      QStringLiteral("Helvetica"), QApplication::font().family()});
    font.setPointSizeF(8.0);
    return font;
}

// `font`, made smaller in half points until `text` fits in `box` (wrapped
// at word boundaries when `wrap` is set), but never below 6 points.
QFont fittingFont(QFont font, const QString& text, const QSize& box, bool wrap)
{
    constexpr double smallest = 6.0;
    while (font.pointSizeF() > smallest) {
        const QRect needed =
            QFontMetrics(font).boundingRect(QRect(QPoint(0, 0), box), wrap ? Qt::TextWordWrap : 0, text);
        if (needed.width() <= box.width() && needed.height() <= box.height())
            break;
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    return font;
}

// A label placed past its container's right edge keeps its text inside the
// container: a right-aligned status would otherwise lose its last characters.
void keepTextInside(QLabel* label)
{
    const int overhang = label->geometry().right() - label->parentWidget()->rect().right();
    if (overhang > 0)
        label->setContentsMargins(0, 0, overhang, 0);
}

QLabel* createLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText); // texts from agents are never read as markup
    return label;
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

void Form1::place(QWidget* control, const TwipsRect& rect) const
{
    control->setGeometry(twipsToPixels(rect, logicalDpiX(), logicalDpiY()));
}

// Controls are created in the designer's order; children of a frame are
// placed relative to the frame.
void Form1::createControls()
{
    m_trapLines = new TrapListModel(this);
    m_lstTrapList = new QListView(this);
    m_lstTrapList->setObjectName(QStringLiteral("lstTrapList"));
    m_lstTrapList->setModel(m_trapLines);
    m_lstTrapList->setUniformItemSizes(true);
    m_lstTrapList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstTrapList->setSelectionMode(QAbstractItemView::SingleSelection);
    place(m_lstTrapList, {0, 6240, 5775, 645});

    m_frame2 = new QGroupBox(QStringLiteral("Agent List"), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setFocusPolicy(Qt::NoFocus);
    place(m_frame2, {0, 840, 5775, 1815});

    m_cmdFind = new QPushButton(QStringLiteral("&Find Agents"), m_frame2);
    m_cmdFind->setObjectName(QStringLiteral("cmdFind"));
    place(m_cmdFind, {120, 840, 1335, 350});

    m_txtAddIPAddress = new QLineEdit(m_frame2);
    m_txtAddIPAddress->setObjectName(QStringLiteral("txtAddIPAddress"));
    place(m_txtAddIPAddress, {1560, 1320, 1815, 315});

    m_cmdAdd = new QPushButton(QStringLiteral("&Add Agent"), m_frame2);
    m_cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    place(m_cmdAdd, {120, 1320, 1335, 350});

    for (QPushButton* button : {m_cmdFind, m_cmdAdd}) {
        // Enter and Esc do nothing to either button.
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    m_txtAddsysName = new QLineEdit(m_frame2);
    m_txtAddsysName->setObjectName(QStringLiteral("txtAddsysName"));
    place(m_txtAddsysName, {3480, 1320, 1935, 315});

    m_lvwAgentList = new QTreeWidget(m_frame2);
    m_lvwAgentList->setObjectName(QStringLiteral("lvwAgentList"));
    place(m_lvwAgentList, {1560, 240, 3855, 975});
    setUpAgentList();

    m_frame1 = new QGroupBox(QStringLiteral("System Values"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setFocusPolicy(Qt::NoFocus);
    place(m_frame1, {0, 2760, 5775, 3135});

    const std::array<const char*, systemObjectCount> boxNames{"txtSysDescr", "txtSysObjectID", "txtSysUpTime",
                                                              "txtSysContact", "txtSysName", "txtSysLocation",
                                                              "txtSysServices"};
    for (int index = 0; index < systemObjectCount; ++index)
        m_systemValueBoxes[static_cast<std::size_t>(index)] =
            createValueBox(m_frame1, boxNames[static_cast<std::size_t>(index)], 360 + 360 * index);

    // The captions are created last to first, as the designer laid them out.
    const std::array<const char*, systemObjectCount> captions{"Description: ", "ObjectID: ", "UpTime: ",
                                                              "Contact: ",     "Name: ",     "Location: ",
                                                              "Services: "};
    for (int index = systemObjectCount - 1; index >= 0; --index)
        m_oidName[static_cast<std::size_t>(index)] =
            createValueCaption(m_frame1, index, captions[static_cast<std::size_t>(index)], 360 + 360 * index);

    // SNMP1 comes here in the designer's order; it is no widget and was
    // given to the constructor.

    m_label2 = createLabel(this, "Label2", QString::fromLatin1(helpText));
    m_label2->setWordWrap(true);
    m_label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label2->setForegroundRole(QPalette::Highlight);
    place(m_label2, {120, 120, 5775, 615});
    keepTextInside(m_label2);

    m_label1 = createLabel(this, "Label1", QStringLiteral("SNMP Traps"));
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(m_label1, {120, 6000, 1335, 255});

    m_lblStatus = createLabel(this, "lblStatus", QString());
    m_lblStatus->setAlignment(Qt::AlignRight | Qt::AlignTop);
    m_lblStatus->setForegroundRole(QPalette::WindowText);
    place(m_lblStatus, {2880, 6000, 3000, 255});
    keepTextInside(m_lblStatus);
}

// One face for the whole window, at the largest size at which every fixed
// caption fits its label; the help text may go smaller to fit its box.
void Form1::chooseFonts()
{
    QFont font = preferredFont();
    for (const QLabel* label : m_oidName)
        font = fittingFont(font, label->text(), label->contentsRect().size(), false);
    font = fittingFont(font, m_label1->text(), m_label1->contentsRect().size(), false);
    setFont(font);
    m_label2->setFont(fittingFont(font, m_label2->text(), m_label2->contentsRect().size(), true));
}

QLineEdit* Form1::createValueBox(QWidget* frame, const char* name, int top)
{
    auto* box = new QLineEdit(frame);
    box->setObjectName(QString::fromLatin1(name));
    // An agent's value is shown whole, however long.
    box->setMaxLength(std::numeric_limits<int>::max());
    place(box, {1440, top, 4000, 315});
    return box;
}

QLabel* Form1::createValueCaption(QWidget* frame, int index, const char* caption, int top)
{
    const QByteArray name = "OIDName" + QByteArray::number(index);
    QLabel* label = createLabel(frame, name.constData(), QString::fromLatin1(caption));
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    place(label, {120, top, 1005, 255});
    return label;
}

// A report list with two keyed columns, whole-row single selection, never sorted.
void Form1::setUpAgentList()
{
    QTreeWidget* list = m_lvwAgentList;
    list->setColumnCount(2);
    auto* header = new QTreeWidgetItem;
    header->setText(0, QString::fromLatin1(addressColumnKey));
    header->setData(0, Qt::UserRole, QString::fromLatin1(addressColumnKey));
    header->setText(1, QString::fromLatin1(nameColumnKey));
    header->setData(1, Qt::UserRole, QString::fromLatin1(nameColumnKey));
    list->setHeaderItem(header);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    list->header()->setSectionsClickable(false);
    const int width = twipsToPixels(initialColumnWidth, logicalDpiX());
    list->setColumnWidth(0, width);
    list->setColumnWidth(1, width);
}

// Find Agents, agent list, Add Agent, the two entries, the seven values, the trap list.
void Form1::setUpTabOrder()
{
    std::vector<QWidget*> chain{m_cmdFind, m_lvwAgentList, m_cmdAdd, m_txtAddIPAddress, m_txtAddsysName};
    chain.insert(chain.end(), m_systemValueBoxes.begin(), m_systemValueBoxes.end());
    chain.push_back(m_lstTrapList);
    for (std::size_t index = 1; index < chain.size(); ++index)
        QWidget::setTabOrder(chain[index - 1], chain[index]);
}

// The only handlers of the program. The buttons' access keys (Alt+F, Alt+A)
// click the buttons, so keyboard and mouse run the same command.
void Form1::wireEvents()
{
    connect(m_cmdFind, &QPushButton::clicked, this,
            [this] { m_guard->run("Could not search for agents", [this] { m_module1.findAgents(); }); });
    connect(m_cmdAdd, &QPushButton::clicked, this,
            [this] { m_guard->run("Could not add the agent", [this] { m_module1.addAgent(); }); });
    connect(m_lvwAgentList, &QTreeWidget::clicked, this,
            [this] { m_guard->run("Could not select the agent", [this] { m_module1.selectAgent(); }); });
    m_snmp1->Response().connect([this](std::int32_t errorStatus, const std::string& agentAddress) {
        m_guard->run("Could not handle an agent's answer",
                     [&] { m_module1.onResponse(errorStatus, agentAddress); });
    });
    m_snmp1->Trap().connect([this](std::int32_t genericTrap, std::int32_t specificTrap,
                                   const std::string& agentAddress) {
        m_guard->run("Could not log a trap", [&] { m_module1.onTrap(genericTrap, specificTrap, agentAddress); });
    });
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
    m_lstTrapList->setToolTip(text);
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Brellan"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("trapReceiverProblem"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
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
    QLineEdit* box = m_systemValueBoxes.at(static_cast<std::size_t>(object));
    box->setText(fromUtf8(text));
    box->setCursorPosition(0); // a long value shows its beginning
}

void Form1::setStatusLine(const std::string& text)
{
    m_lblStatus->setText(fromUtf8(text));
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
