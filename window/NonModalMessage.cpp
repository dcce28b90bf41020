// SPDX-License-Identifier: GPL-3.0-or-later
#include "NonModalMessage.h"

namespace brellan {

void showNonModalMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& objectName)
{
    auto* box = new QMessageBox(icon, QStringLiteral("Brellan"), text, QMessageBox::Ok, parent);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace brellan
