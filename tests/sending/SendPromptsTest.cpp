#include "SendingFixture.h"

#include "sending/SendChoiceWindow.h"
#include "ui/Glass.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>

using namespace ombrel;
using namespace ombrel::test;

class CursorPromptTest : public SendingTest {
  protected:
    CursorPrompt* askAbout(const QStringList& files) {
        return CursorPrompt::ask(files, [this](const AppInfo& app) { sentTo.append(app.pid); });
    }
    QList<qint64> sentTo;
};

TEST_F(CursorPromptTest, ThreeFilesShowTheFirstAndSayHowManyMore) {
    EXPECT_EQ(GlassPrompt::morePicturesLine(1), QString());
    EXPECT_EQ(GlassPrompt::morePicturesLine(2), QStringLiteral("and 1 more picture"));
    CursorPrompt* prompt =
        askAbout({picture("a.png", Qt::darkCyan, {900, 900}), picture("b.png"), picture("c.png")});
    ASSERT_NE(prompt->preview(), nullptr);
    QStringList lines;
    for (QLabel* label : prompt->preview()->findChildren<QLabel*>())
        lines.append(label->text());
    EXPECT_EQ(lines, QStringList{QStringLiteral("and 2 more pictures")});
    QWidget* shown = nullptr;
    for (QWidget* w : prompt->preview()->findChildren<QWidget*>())
        if (w->accessibleName() == QLatin1String("The picture you're sending")) shown = w;
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->size(), QSize(120, 120)) << "fitted into 200 × 120 keeping its shape";
}

TEST_F(CursorPromptTest, ClickingIntoTheChatTurnsThePromptIntoSendWithinOneRefresh) {
    platform.windows->front = chat;
    platform.accessibility->focus[chat.pid] = button();
    CursorPrompt* prompt = askAbout({picture("a.png")});
    EXPECT_TRUE(prompt->isVisible());
    EXPECT_FALSE(prompt->primaryButton()->property("highlighted").toBool());

    platform.accessibility->focus[chat.pid] = textArea();
    clock.advance(399);
    EXPECT_FALSE(prompt->primaryButton()->property("highlighted").toBool());
    clock.advance(1);
    EXPECT_TRUE(prompt->detail().contains(QStringLiteral("Chromium's chat box")));
    EXPECT_EQ(prompt->primaryButton()->text(), QStringLiteral("Send"));
    EXPECT_TRUE(prompt->primaryButton()->property("highlighted").toBool());
    EXPECT_TRUE(prompt->isFlashing());

    prompt->primaryButton()->click();
    EXPECT_EQ(sentTo, QList<qint64>{chat.pid});
    EXPECT_EQ(CursorPrompt::current(), nullptr);
}

TEST_F(CursorPromptTest, TheCaretIsReadOffTheGuiThreadOneReadingAtATime) {
    Scheduler::install(nullptr); // the event loop's timers and a real worker thread
    platform.windows->front = chat;
    platform.accessibility->focus[chat.pid] = textArea();
    platform.accessibility->holdAnswers = true; // a walk through a busy browser
    CursorPrompt* prompt = askAbout({picture("a.png")});
    // The interface goes on while the reading waits: were it read here, the prompt would only
    // come back once the reading had ended.
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.accessibility->waiting == 1; }, 5000));
    EXPECT_EQ(prompt->heading(), QStringLiteral("Click in your chat"));
    QTest::qWait(CursorPrompt::refreshMs * 3);
    EXPECT_EQ(platform.accessibility->readings, 1) << "no second reading while the first is under way";
    platform.accessibility->holdAnswers = false;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return prompt->heading() == QStringLiteral("I see your cursor"); }, 5000));
    prompt->dismiss();
    QThreadPool::globalInstance()->waitForDone();
    Scheduler::install(&clock);
}

TEST_F(CursorPromptTest, AnUnchangedStateIsNotAppliedAgain) {
    platform.windows->front = chat;
    CursorPrompt* prompt = askAbout({picture("a.png")});
    ASSERT_EQ(prompt->heading(), QStringLiteral("I see your cursor"));
    prompt->detailLabel()->setText(QStringLiteral("marker"));
    clock.advance(2'000);
    EXPECT_EQ(prompt->detail(), QStringLiteral("marker"))
        << "five refreshes with the same answer change nothing";
}

TEST_F(CursorPromptTest, ThePromptUsesTheRememberedTargetWhileThisProgramIsInFront) {
    ChatSender::remember(chat);
    platform.windows->front =
        AppInfo{platform.windows->myPid, QStringLiteral("com.ombrel.capture"), {}, true};
    EXPECT_EQ(CursorPrompt::chatApplication()->pid, chat.pid);
    platform.windows->front = editor;
    EXPECT_EQ(CursorPrompt::chatApplication()->pid, editor.pid);
}

TEST_F(CursorPromptTest, ThePromptGoesAwayOnCancelOrAfterThreeMinutesAndANewAskReplacesIt) {
    askAbout({picture("a.png")})->secondaryButton()->click();
    EXPECT_EQ(CursorPrompt::current(), nullptr);
    CursorPrompt* first = askAbout({picture("a.png")});
    CursorPrompt* second = askAbout({picture("a.png")});
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(CursorPrompt::current(), second);
    clock.advance(180'000);
    EXPECT_EQ(CursorPrompt::current(), second);
    clock.advance(400);
    EXPECT_EQ(CursorPrompt::current(), nullptr);
    EXPECT_TRUE(sentTo.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    clock.advance(10'000); // the timers of deleted prompts must not fire
}

TEST(GlassPromptTest, NotNowDismissesWithoutCallingEitherAction) {
    GlassPrompt prompt(QStringLiteral("Later"), 420);
    int calls = 0;
    prompt.onPrimary = prompt.onSecondary = [&] { ++calls; };
    prompt.say(QStringLiteral("Update ready"), QStringLiteral("Restart to use it."),
               QStringLiteral("Restart"));
    prompt.offerNotNow();
    prompt.open();
    EXPECT_EQ(prompt.width(), 420);
    ASSERT_NE(prompt.notNowButton(), nullptr);
    prompt.notNowButton()->click();
    EXPECT_FALSE(prompt.isVisible());
    EXPECT_EQ(calls, 0);
}

class SendChoiceTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (SendChoiceWindow* w = SendChoiceWindow::current()) w->cancel();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    SendChoiceWindow* ask() {
        QImage page(40, 30, QImage::Format_RGB32);
        page.fill(Qt::white);
        return SendChoiceWindow::ask(QStringLiteral("Send to Chat"), page, {page, page, page}, 3,
                                     [this](bool all) { choices.append(all); });
    }
    QList<bool> choices;
};

TEST_F(SendChoiceTest, TheKeysChooseOrCancel) {
    SendChoiceWindow* window = ask();
    EXPECT_EQ(window->allCard()->text(), QStringLiteral("All 3 pictures"));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(choices.isEmpty()) << "Escape sends nothing";
    EXPECT_EQ(SendChoiceWindow::current(), nullptr);

    QTest::keyClick(ask(), Qt::Key_1);
    QTest::keyClick(ask(), Qt::Key_Return);
    QTest::keyClick(ask(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(choices, (QList<bool>{false, true, true}));

    // Other keys, typed into the window or any other of the program's, choose nothing and
    // reach the widget they were typed into.
    window = ask();
    QTest::keyClick(window, Qt::Key_A);
    QLineEdit other;
    QTest::keyClick(&other, Qt::Key_B);
    EXPECT_EQ(SendChoiceWindow::current(), window);
    EXPECT_EQ(choices, (QList<bool>{false, true, true}));
    EXPECT_EQ(other.text(), QStringLiteral("b")) << "other keys pass through";
}

TEST_F(SendChoiceTest, CardsChooseAndANewAskClosesTheOldWindowWithoutChoosing) {
    SendChoiceWindow* first = ask();
    SendChoiceWindow* second = ask();
    EXPECT_NE(first, second);
    EXPECT_TRUE(choices.isEmpty());
    second->thisCard()->click();
    EXPECT_EQ(choices, QList<bool>{false});
    ask()->cancelButton()->click();
    EXPECT_EQ(choices, QList<bool>{false});
}
