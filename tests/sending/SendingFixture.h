#pragma once
// A desktop of fake applications for the chat sender: a browser chat, another ordinary
// application and a password prompt, with the clock in the test's hands.

#include "FilesFixture.h"
#include "ManualScheduler.h"

#include "sending/ChatSender.h"
#include "sending/CursorPrompt.h"

#include <QCoreApplication>

namespace ombrel::test {

class SendingTest : public FilesTest {
  protected:
    void SetUp() override {
        FilesTest::SetUp();
        ChatSender::reset();
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
        ChatSender::reset();
        FilesTest::TearDown();
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
