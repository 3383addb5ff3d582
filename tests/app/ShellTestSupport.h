#pragma once
// What the shell's tests share: alerts caught instead of shown, the tray menu's items by
// title, windows of the window list, and a fixture that launches the shell.

#include "app/AppDelegate.h"
#include "platform/Windows.h"
#include "support/TestEnv.h"
#include "ui/Permissions.h"
#include "understanding/PageReadings.h"

#include <QAction>
#include <QDir>
#include <QImage>
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

// A picture of one colour.
inline QImage plainImage(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
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

// A library of its own, alerts caught, a temporary folder of its own, and the shell of the
// test build launched on demand.
class ShellTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        alerts.clear();
        Permissions::setPresenter(&recordAlert);
        qputenv("TMPDIR", dir.filePath("tmp").toLocal8Bit());
        QDir().mkpath(dir.filePath("tmp"));
    }
    void TearDown() override {
        app.reset();
        PageReadings::waitForAll(); // no reading of a captured page outlives the fake platform
        Permissions::setPresenter(nullptr);
        qunsetenv("TMPDIR");
        LibraryTest::TearDown();
    }
    // Launches the shell, ending the one launched before.
    AppDelegate& launch(const QString& bundleId = QStringLiteral("com.ombrel.capture.tests")) {
        app.reset();
        app = std::make_unique<AppDelegate>(bundleId);
        app->applicationDidFinishLaunching();
        return *app;
    }
    std::unique_ptr<AppDelegate> app;
};

} // namespace ombrel::test
