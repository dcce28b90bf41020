// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form1.h"
#include "RecordingComponent.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace brellan::test {

// What a test saw of a message box before closing it.
struct SeenMessageBox {
    QString objectName;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttonCount = 0;
    bool hasOkButton = false;
    Qt::WindowModality modality = Qt::NonModal;
};

// Closes every modal message box that opens while it exists, after noting
// what it showed. It polls from the event loop, so it also runs inside the
// nested loop of a box's exec().
class MessageBoxCloser {
public:
    MessageBoxCloser()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { closeActiveBox(); });
        m_timer.start();
    }

    std::vector<SeenMessageBox> seen;

private:
    void closeActiveBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        seen.push_back({box->objectName(), box->windowTitle(), box->text(), box->icon(), box->buttons().size(),
                        ok != nullptr, box->windowModality()});
        if (ok)
            ok->click();
        else
            box->reject();
    }

    QTimer m_timer;
};

// A shown and active Form1 over a recording component.
class WindowFixture : public ::testing::Test {
protected:
    WindowFixture()
    {
        auto component = std::make_unique<RecordingComponent>();
        snmp = component.get();
        form = std::make_unique<Form1>(std::move(component));
    }

    void SetUp() override
    {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    template <typename Control = QWidget>
    Control* control(const char* name) const
    {
        auto* found = form->findChild<Control*>(QString::fromLatin1(name));
        if (!found)
            ADD_FAILURE() << "no control named " << name;
        return found;
    }

    // Clicks the agent-list row at `row` (0-based) as the operator would.
    void clickAgentRow(int row) const
    {
        auto* list = control<QTreeWidget>("lvwAgentList");
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    RecordingComponent* snmp = nullptr; // owned by the window
    std::unique_ptr<Form1> form;
};

} // namespace brellan::test
