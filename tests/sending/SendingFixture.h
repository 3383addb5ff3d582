#pragma once
// A desktop of fake applications for the chat sender: a browser chat, another ordinary
// application and a password prompt, with the clock in the test's hands.

#include "ManualScheduler.h"
#include "support/TestEnv.h"

#include "sending/ChatSender.h"
#include "sending/CursorPrompt.h"
#include "ui/Permissions.h"

#include <QCoreApplication>
#include <QImage>

namespace ombrel::test {

class SendingTest : public LibraryTest {
  protected:
    static inline QStringList alerts;  // the message of each alert
    static inline int alertAnswer = 1; // "Not Now"
    static int recordAlert(const QString&, const QString& message, const QStringList&) {
        alerts.append(message);
        return alertAnswer;
    }

    void SetUp() override {
        LibraryTest::SetUp();
        ChatSender::reset();
        alerts.clear();
        alertAnswer = 1;
        Permissions::setPresenter(&recordAlert);
        addWindow(chat, 11);
        addWindow(editor, 12);
        addWindow(prompt, 13, WindowKind::Dialog);
        platform.accessibility->focus.insert(chat.pid, textArea());
        platform.keys->onPress = [this](const FakeKeys::Press& p) {
            pressTimesMs.append(clock.nowMs());
            clipboardAtPress.append(p.key == SyntheticKey::V ? platform.pasteboard->png() : QByteArray());
        };
    }

    void TearDown() override {
        if (CursorPrompt* p = CursorPrompt::current()) p->dismiss();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Permissions::setPresenter(nullptr);
        ChatSender::reset();
        LibraryTest::TearDown();
    }

    void addWindow(const AppInfo& app, WindowId id, WindowKind kind = WindowKind::Normal) {
        platform.windows->windowList.append(
            WindowInfo{id, app.pid, app.bundleId, app.name, QRect(0, 0, 800, 600), kind, 0, true, false});
    }

    static FocusReading textArea(const QStringList& words = {QStringLiteral("Message")}) {
        return {FocusReading::Result::Found, {QStringLiteral("AXTextArea"), {}, words, false}};
    }
    static FocusReading button() {
        return {FocusReading::Result::Found,
                {QStringLiteral("push button"), {}, {QStringLiteral("Stop")}, false}};
    }

    // Writes a small PNG whose bytes tell the files apart.
    QString picture(const QString& name, int side) {
        QImage image(side, side, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = dir.filePath(name);
        image.save(path, "PNG");
        return path;
    }
    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    QList<SyntheticKey> keys() const {
        QList<SyntheticKey> out;
        for (const auto& p : platform.keys->presses)
            out.append(p.key);
        return out;
    }

    ManualScheduler clock;
    AppInfo chat{501, QStringLiteral("chromium"), QStringLiteral("Chromium"), true};
    AppInfo editor{502, QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"), true};
    AppInfo prompt{503, QStringLiteral("polkit-gnome-authentication-agent-1"), QStringLiteral("Authenticate"),
                   true};
    QList<qint64> pressTimesMs;
    QList<QByteArray> clipboardAtPress;
};

} // namespace ombrel::test
