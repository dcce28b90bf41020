// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace brellan {

// Tells the operator something in a box that does not block the window: it
// opens, the caller goes on at once, and the box deletes itself when closed.
// `objectName` lets tests find it.
void showNonModalMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& objectName);

} // namespace brellan
