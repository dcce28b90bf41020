// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls: each created in the designer's order with its
// name, caption, place and size, the agent list's columns, the fonts, and
// the tab order.

#include "Form1.h"

#include "FindBar.h"
#include "TrapListModel.h"
#include "TrapListView.h"
#include "Twips.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTreeWidget>

#include <limits>
#include <vector>

namespace brellan {
namespace {

constexpr int initialColumnWidth = 1440;

const char* const helpText =
    "This demo shows how to create a basic Brellan.  To start, click 'Find Agents' to find the SNMP agents on "
    "your LAN, or add an SNMP agent at a specified IP address.  Then select the Agent in the 'Agent List Box' "
    "to retrieve system values.";


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

void Form1::place(QWidget* control, const TwipsRect& rect) const
{
    control->setGeometry(twipsToPixels(rect, logicalDpiX(), logicalDpiY()));
}

// Controls are created in the designer's order; children of a frame are
// placed relative to the frame.
void Form1::createControls()
{
    m_trapLines = new TrapListModel(this);
    m_trapLines->useNames(m_names);
    auto* trapList = new TrapListView(this);
    m_lstTrapList = trapList;
    m_lstTrapList->setObjectName(QStringLiteral("lstTrapList"));
    m_lstTrapList->setModel(m_trapLines);
    m_lstTrapList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Several lines at once, to copy them (see TrapListView).
    m_lstTrapList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    place(m_lstTrapList, {0, 6240, 5775, 645});
    showTrapReceiverState(QString());

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

    // Over the list's bottom while open, hidden otherwise: not part of the layout.
    new FindBar(*m_trapLines, *trapList, this);

    nameForScreenReaders();
}

// What a screen reader speaks for each control. The buttons speak their
// captions. Each value box is named by the caption beside it, its buddy
// (the captions have no "&", so this adds no access key). A list's
// accessibility interface does not look for a buddy, so the trap list takes
// the text of its caption, Label1, as its name; the agent list and the two
// entry boxes have no caption of their own and get a name. The status label is named "Status" and gives its line as
// its description (see setStatusLine), so that the name is there while the
// line is empty.
void Form1::nameForScreenReaders()
{
    for (std::size_t index = 0; index < m_oidName.size(); ++index)
        m_oidName[index]->setBuddy(m_systemValueBoxes[index]);
    m_lstTrapList->setAccessibleName(m_label1->text());
    m_lvwAgentList->setAccessibleName(QStringLiteral("Agent List"));
    m_txtAddIPAddress->setAccessibleName(QStringLiteral("Agent IP address"));
    m_txtAddsysName->setAccessibleName(QStringLiteral("Agent name"));
    m_lblStatus->setAccessibleName(QStringLiteral("Status"));
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

} // namespace brellan
