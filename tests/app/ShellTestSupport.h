#pragma once
// What the shell's tests share: alerts caught instead of shown, and the tray menu's items
// by title.

#include "platform/Windows.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace ombrel::test {

struct Alert {
    QString title, message;
};
// The alerts shown since the last clear; install `recordAlert` with Permissions::setPresenter.
inline QList<Alert> alerts;
inline int recordAlert(const QString& title, const QString& message, const QStringList&) {
    alerts.append({title, message});
    return 1;
}

// The menu's item titles in order, a separator as "—".
inline QStringList titles(const QMenu* menu) {
    QStringList list;
    for (const QAction* a : menu->actions())
        list.append(a->isSeparator() ? QStringLiteral("—") : a->text());
    return list;
}

// The menu's item with that title; a test failure when there is none.
inline QAction* item(QMenu* menu, const QString& title) {
    for (QAction* a : menu->actions())
        if (a->text() == title) return a;
    ADD_FAILURE() << "no item " << title.toStdString();
    return nullptr;
}

// A window of the window list, on the normal layer unless said otherwise.
inline WindowInfo windowInfo(WindowId id, qint64 pid, const QString& app, const QString& title, QRect frame,
                             WindowKind kind = WindowKind::Normal, int layer = 0) {
    WindowInfo w;
    w.id = id;
    w.pid = pid;
    w.bundleId = app;
    w.title = title;
    w.frameGlobal = frame;
    w.kind = kind;
    w.layer = layer;
    return w;
}

} // namespace ombrel::test
