// SPDX-License-Identifier: GPL-3.0-or-later
#include "Operator.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace brellan::lan {

namespace {

constexpr std::array<const char*, 7> valueBoxNames{"txtSysDescr",   "txtSysObjectID", "txtSysUpTime",
                                                   "txtSysContact", "txtSysName",     "txtSysLocation",
                                                   "txtSysServices"};

template <typename Control>
Control* find(const Form1& form, const char* name)
{
    auto* control = form.findChild<Control*>(QString::fromLatin1(name));
    if (!control)
        qFatal("Form1 has no control named %s", name);
    return control;
}

} // namespace

Operator::Operator()
{
    auto engine = std::make_unique<UdpEngine>(UdpEngine::Settings{.community = "mervik"});
    m_engine = engine.get();
    m_form = std::make_unique<Form1>(std::move(engine));
    m_form->show();
    m_form->activateWindow();
    m_windowActive = QTest::qWaitForWindowActive(m_form.get());

    const QAbstractItemModel* rowsModel = find<QTreeWidget>(*m_form, "lvwAgentList")->model();
    QObject::connect(rowsModel, &QAbstractItemModel::rowsInserted, m_form.get(), [this](const QModelIndex&, int first, int last) {
        for (int row = first; row <= last; ++row)
            m_rowTimes.push_back(m_sinceFind.isValid() ? m_sinceFind.elapsed() : -1);
    });

    // Polls from the event loop, so it also runs inside the nested loop of
    // a modal box's exec().
    m_boxCloser.setInterval(10);
    QObject::connect(&m_boxCloser, &QTimer::timeout, [this] { closeModalBox(); });
    m_boxCloser.start();
}

Operator::~Operator() = default;

void Operator::closeModalBox()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
        return;
    m_seenBoxes.push_back({box->objectName(), box->windowTitle(), box->text()});
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

void Operator::clickFindAgents()
{
    m_rowTimes.clear();
    m_sinceFind.start();
    QTest::mouseClick(find<QPushButton>(*m_form, "cmdFind"), Qt::LeftButton);
}

void Operator::addAgent(const QString& address, const QString& name)
{
    QTest::keyClicks(find<QLineEdit>(*m_form, "txtAddIPAddress"), address);
    QTest::keyClicks(find<QLineEdit>(*m_form, "txtAddsysName"), name);
    QTest::mouseClick(find<QPushButton>(*m_form, "cmdAdd"), Qt::LeftButton);
}

QTreeWidgetItem* Operator::rowItem(const QString& address) const
{
    const QTreeWidget* list = find<QTreeWidget>(*m_form, "lvwAgentList");
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (list->topLevelItem(row)->text(0) == address)
            return list->topLevelItem(row);
    }
    return nullptr;
}

bool Operator::clickAgentRow(const QString& address)
{
    auto* list = find<QTreeWidget>(*m_form, "lvwAgentList");
    QTreeWidgetItem* item = rowItem(address);
    if (!item)
        return false;
    list->scrollToItem(item);
    const QRect rect = list->visualItemRect(item);
    m_sinceSelect.start();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    return true;
}

std::vector<Operator::Row> Operator::rows() const
{
    const QTreeWidget* list = find<QTreeWidget>(*m_form, "lvwAgentList");
    std::vector<Row> result;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        result.push_back({list->topLevelItem(row)->text(0), list->topLevelItem(row)->text(1)});
    return result;
}

QStringList Operator::trapLines() const
{
    const QAbstractItemModel* model = find<QListView>(*m_form, "lstTrapList")->model();
    QStringList lines;
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

QString Operator::status() const
{
    return find<QLabel>(*m_form, "lblStatus")->text();
}

std::array<QString, 7> Operator::systemValues() const
{
    std::array<QString, 7> values;
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = find<QLineEdit>(*m_form, valueBoxNames[i])->text();
    return values;
}

void Operator::clearSystemValues()
{
    for (const char* name : valueBoxNames)
        find<QLineEdit>(*m_form, name)->clear();
}

void Operator::setSystemValue(int index, const QString& text)
{
    QLineEdit* box = find<QLineEdit>(*m_form, valueBoxNames.at(static_cast<std::size_t>(index)));
    box->clear();
    QTest::keyClicks(box, text);
}

bool Operator::waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(2);
    }
    return true;
}

void Operator::settle(int ms)
{
    QTest::qWait(ms);
}

} // namespace brellan::lan
