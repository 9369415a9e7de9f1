// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QWidget>

namespace kestrin {

// Lets a window of the program's own close with Escape or Ctrl+W, as a
// dialog or a document window elsewhere on the desktop does.
inline void CloseWithEscapeOrCtrlW(QWidget* window) {
    auto* mnuClose = new QAction(QStringLiteral("Close"), window);
    mnuClose->setObjectName(QStringLiteral("mnuClose"));
    mnuClose->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    QObject::connect(mnuClose, &QAction::triggered, window, &QWidget::close);
    window->addAction(mnuClose);
}

}  // namespace kestrin
