#include "SendingFixture.h"

#include "platform/Defaults.h"
#include "platform/Notifier.h"
#include "ui/Toast.h"

#include <QPushButton>
#include <QSignalSpy>

using namespace ombrel;
using namespace ombrel::test;

TEST(ChatSenderClassify, TextRolesAndEditableContentAreChatBoxesButAddressAndSearchBoxesAreNot) {
    struct Row {
        const char *role, *subrole, *words;
        bool editable;
        CursorSpot expected;
    };
    for (const Row& row : std::initializer_list<Row>{
             {"AXTextArea", "", "Message ChatGPT", false, CursorSpot::chatBox},
             {"AXTextField", "", "", false, CursorSpot::chatBox},
             {"AXComboBox", "", "Ask anything", false, CursorSpot::chatBox},
             {"section", "", "", true, CursorSpot::chatBox}, // a rich-text editor in a page
             {"AXTextField", "AXSecureTextField", "Password", false, CursorSpot::chatBox},
             {"push button", "", "Send", false, CursorSpot::elsewhere},
             {"axtextarea", "", "", false, CursorSpot::elsewhere}, // roles are compared exactly
             {"AXTextField", "AXSearchField", "Message", false, CursorSpot::elsewhere},
             {"AXTextField", "", "Enter URL", false, CursorSpot::elsewhere},
             {"AXTextField", "", "FIND IN PAGE", false, CursorSpot::elsewhere}, // in any case
             {"section", "", "Research notes", true, CursorSpot::elsewhere},    // a substring is enough
         })
        EXPECT_EQ(ChatSender::classify(QString::fromLatin1(row.role), QString::fromLatin1(row.subrole),
                                       QString::fromLatin1(row.words), row.editable),
                  row.expected)
            << row.role << " " << row.subrole << " " << row.words;
}

class ChatSenderTarget : public SendingTest {};

TEST_F(ChatSenderTarget, OnlyOrdinaryApplicationsOfOthersCanBeTheTarget) {
    EXPECT_TRUE(ChatSender::canBeTarget(chat));
    EXPECT_TRUE(ChatSender::canBeTarget(editor));
    AppInfo self = chat;
    self.pid = platform.windows->myPid;
    EXPECT_FALSE(ChatSender::canBeTarget(self)) << "this program";
    AppInfo agent = chat;
    agent.hasNormalWindow = false;
    EXPECT_FALSE(ChatSender::canBeTarget(agent)) << "no normal window: a tray agent or background process";
    for (const char* id :
         {"Thunar", "polkit-gnome-authentication-agent-1", "Gcr-prompter", "xfce4-panel", ""})
        EXPECT_FALSE(ChatSender::canBeTarget(QString::fromLatin1(id))) << id;
    EXPECT_TRUE(ChatSender::canBeTarget(QStringLiteral("Slack")));
}

TEST_F(ChatSenderTarget, RememberingAnotherApplicationAnnouncesItOnceAndWakesItsReadingOnce) {
    QSignalSpy changed(&Notifier::instance(), &Notifier::ChatSenderDidChangeTarget);
    platform.windows->front = chat;
    ChatSender::startTracking();
    EXPECT_EQ(ChatSender::target()->pid, chat.pid);
    EXPECT_EQ(ChatSender::targetName(), QStringLiteral("Chromium"));
    platform.windows->bringToFront(prompt); // a password prompt: ignored
    platform.windows->bringToFront(chat);   // the same application again: no news
    platform.windows->bringToFront(editor);
    platform.windows->bringToFront(chat);
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(ChatSender::target()->pid, chat.pid);
    EXPECT_EQ(platform.accessibility->switchedOn, (QList<qint64>{chat.pid, editor.pid}));
    EXPECT_EQ(platform.accessibility->switchedOnAsBrowser, (QList<bool>{true, false}));
}

TEST_F(ChatSenderTarget, ReadingIsNotWokenWithoutThePermission) {
    platform.access->accessibility = false;
    ChatSender::remember(chat);
    EXPECT_TRUE(platform.accessibility->switchedOn.isEmpty());
    EXPECT_EQ(ChatSender::cursorSpot(chat), CursorSpot::unknown);
    EXPECT_EQ(platform.accessibility->readings, 0);
}

TEST_F(ChatSenderTarget, TheCursorSpotFollowsWhatTheFocusReadingAnswers) {
    using R = FocusReading::Result;
    const QList<std::pair<FocusReading, CursorSpot>> rows{
        {{R::NoValue, {}}, CursorSpot::elsewhere},
        {{R::Unsupported, {}}, CursorSpot::elsewhere},
        {{R::Failed, {}}, CursorSpot::unknown},
        {textArea({QStringLiteral("Chat"), QStringLiteral("Address")}),
         CursorSpot::elsewhere}, // words joined
        {textArea(), CursorSpot::chatBox},
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        platform.accessibility->focus[chat.pid] = rows[i].first;
        EXPECT_EQ(ChatSender::cursorSpot(chat), rows[i].second) << "row " << i;
    }

    // The editor's line asks off the GUI thread; the test clock answers at once.
    auto chatWithCursor = [] {
        std::optional<QString> answer = QStringLiteral("no answer");
        ChatSender::chatWithCursorLater(nullptr, [&](const std::optional<QString>& chat) { answer = chat; });
        return answer;
    };
    EXPECT_FALSE(chatWithCursor()) << "no target yet";
    ChatSender::remember(chat);
    EXPECT_EQ(chatWithCursor(), QStringLiteral("Chromium"));
    platform.windows->quit.insert(chat.pid);
    EXPECT_FALSE(chatWithCursor()) << "a target that has quit is missing";
}

// The chat is the target and the editor in front, unless a test says otherwise.
class ChatSenderSend : public SendingTest {
  protected:
    void SetUp() override {
        SendingTest::SetUp();
        targetChatFromEditor();
    }
    void targetChatFromEditor() {
        ChatSender::remember(chat);
        platform.windows->front = editor;
    }
    bool sendOne(const char* name = "a.png") {
        return ChatSender::send({picture(QString::fromLatin1(name))});
    }
};

TEST_F(ChatSenderSend, ThreeFilesArePasted1200MsApartAndReturnFollows1800MsAfterTheLast) {
    const QStringList files{picture("a.png", Qt::red), picture("b.png", Qt::green),
                            picture("c.png", Qt::blue)};
    ASSERT_TRUE(ChatSender::send(files));
    EXPECT_EQ(platform.pasteboard->png(), bytesOf(files[0]))
        << "the first file waits on the clipboard at once";
    EXPECT_EQ(platform.windows->front->pid, chat.pid);
    clock.advance(20'000);
    ASSERT_EQ(keys(),
              (QList<SyntheticKey>{SyntheticKey::V, SyntheticKey::V, SyntheticKey::V, SyntheticKey::Return}));
    EXPECT_EQ(platform.keys->presses[0].command, true);
    EXPECT_EQ(platform.keys->presses[3].command, false);
    // Front at once, 400 ms to settle, one reading of the caret, then the clear way.
    EXPECT_EQ(pressTimesMs, (QList<qint64>{400, 400 + 1200, 400 + 2 * 1200, 400 + 2 * 1200 + 1800}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(clipboardAtPress[i], bytesOf(files[i])) << "each paste has its own file on the clipboard";
}

TEST_F(ChatSenderSend, WithPasteWithoutEnterTheFilesArePastedButReturnIsNotPressed) {
    ChatSender::setPressesEnter(false);
    EXPECT_TRUE(Defaults::get(Keys::pasteWithoutEnter));
    ASSERT_TRUE(sendOne());
    clock.advance(10'000);
    EXPECT_EQ(keys(), QList<SyntheticKey>{SyntheticKey::V});
}

TEST_F(ChatSenderSend, PastingAndReturnStopWhenTheTargetLosesTheFront) {
    // Two files: the user leaves between the pastes. One file: the user leaves after the only
    // paste, so the next key would be the Return, pressed into whatever is now in front.
    for (const int count : {2, 1}) {
        SCOPED_TRACE(count);
        platform.keys->presses.clear();
        QStringList files{picture("a.png")};
        if (count == 2) files.append(picture("b.png"));
        targetChatFromEditor();
        ASSERT_TRUE(ChatSender::send(files));
        clock.advance(400);
        ASSERT_EQ(keys(), QList<SyntheticKey>{SyntheticKey::V});
        platform.windows->front = editor; // the user clicked elsewhere
        clock.advance(10'000);
        EXPECT_EQ(keys(), QList<SyntheticKey>{SyntheticKey::V}) << "no second paste and no Return";
    }
}

TEST_F(ChatSenderSend, ATargetThatLosesTheFrontJustBeforeTheFirstPasteIsBroughtBackNotLeftSilent) {
    const AppInfo other{31, QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"), true};
    addWindow(other, 14);
    // Taken once, the chat is brought forward again and gets the picture; a target that keeps
    // losing the front gets the cursor prompt rather than nothing.
    for (const bool keepsLosing : {false, true}) {
        SCOPED_TRACE(keepsLosing);
        platform.keys->presses.clear();
        targetChatFromEditor();
        ASSERT_TRUE(sendOne());
        clock.advance(200);
        platform.windows->front = other; // the front moves while the caret is read
        clock.advance(300);              // delivering brings the chat back and lets it settle
        ASSERT_EQ(platform.windows->front->pid, chat.pid);
        platform.windows->front = editor; // taken again in the moment before the paste
        if (keepsLosing) {
            clock.advance(500);
            platform.windows->front = editor;
        }
        clock.advance(10'000);
        const QList<SyntheticKey> pressed{SyntheticKey::V, SyntheticKey::Return};
        EXPECT_EQ(keys(), keepsLosing ? QList<SyntheticKey>() : pressed);
        EXPECT_EQ(CursorPrompt::current() != nullptr, keepsLosing);
    }
}

TEST_F(ChatSenderSend, APasswordPromptInFrontIsWaitedForUpTo30SecondsWithoutReactivating) {
    platform.windows->ignoreActivation = true;
    platform.windows->front = prompt;
    ASSERT_TRUE(sendOne());
    const int first = int(platform.windows->activations.size());
    clock.advance(29'000);
    EXPECT_EQ(platform.windows->activations.size(), first) << "the pop-up is left alone";
    EXPECT_EQ(CursorPrompt::current(), nullptr);
    platform.windows->ignoreActivation = false;
    platform.windows->front = editor; // the prompt has gone
    clock.advance(200);
    EXPECT_EQ(platform.windows->front->pid, chat.pid) << "the target is raised again";
    clock.advance(10'000);
    EXPECT_EQ(keys().size(), 2);
}

TEST_F(ChatSenderSend, ATargetThatNeverComesForwardIsRaised30TimesThenTheCursorPromptAsks) {
    platform.windows->ignoreActivation = true;
    ASSERT_TRUE(sendOne());
    clock.advance(2'900);
    EXPECT_EQ(CursorPrompt::current(), nullptr);
    clock.advance(200);
    EXPECT_EQ(platform.windows->activations.size(), 1 + 30)
        << "once by send, then 30 times by the focus task";
    ASSERT_NE(CursorPrompt::current(), nullptr);
    EXPECT_TRUE(keys().isEmpty());
}

TEST_F(ChatSenderSend, AChatWhoseWindowWasClosedGetsTheCursorPromptAtOnce) {
    // The chat's program lingers without a window; a pop-up is in front.
    platform.windows->windowList.clear();
    addWindow(prompt, 9, WindowKind::Dialog);
    addWindow(editor, 8);
    platform.windows->front = prompt;
    platform.windows->ignoreActivation = true;
    ASSERT_TRUE(sendOne());
    clock.advance(200);
    ASSERT_NE(CursorPrompt::current(), nullptr) << "not after waiting out the pop-up for 30 s";
    EXPECT_TRUE(keys().isEmpty());
}

TEST_F(ChatSenderSend, ACaretElsewhereIsReadFourTimesThenTheCursorPromptAsks) {
    platform.accessibility->focus[chat.pid] = button();
    ASSERT_TRUE(sendOne());
    clock.advance(400 + 3 * 200 - 1);
    EXPECT_EQ(platform.accessibility->readings, 3);
    EXPECT_EQ(CursorPrompt::current(), nullptr);
    clock.advance(1);
    EXPECT_EQ(platform.accessibility->readings, 4 + 1) << "four readings, and the prompt's first look";
    ASSERT_NE(CursorPrompt::current(), nullptr);
    EXPECT_TRUE(keys().isEmpty());
}

TEST_F(ChatSenderSend, ACaretFoundOnTheSecondReadingOrAnUnanswerableQuestionStillDelivers) {
    platform.accessibility->nextReadings = {button()};
    ASSERT_TRUE(sendOne());
    clock.advance(10'000);
    EXPECT_EQ(keys().size(), 2);
    EXPECT_EQ(pressTimesMs[0], 600);

    platform.keys->presses.clear();
    platform.accessibility->focus[chat.pid] = {FocusReading::Result::Failed, {}};
    platform.windows->front = editor;
    ASSERT_TRUE(sendOne("b.png"));
    clock.advance(10'000);
    EXPECT_EQ(keys().size(), 2) << "unknown delivers";
}

TEST_F(ChatSenderSend, WithoutATargetTheCursorPromptAsksAndItsSendPastesIntoTheFrontApplication) {
    ChatSender::reset(); // no target
    EXPECT_FALSE(ChatSender::send({})) << "nothing to send";
    platform.windows->front = editor;
    platform.accessibility->focus[editor.pid] = button();
    ASSERT_TRUE(sendOne());
    CursorPrompt* prompt = CursorPrompt::current();
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->primaryButton()->text(), QStringLiteral("Send Anyway"));
    prompt->primaryButton()->click();
    EXPECT_EQ(CursorPrompt::current(), nullptr);
    EXPECT_EQ(ChatSender::target()->pid, editor.pid) << "the chosen application is remembered";
    clock.advance(10'000);
    EXPECT_EQ(keys().size(), 2);
}

TEST_F(ChatSenderSend, ATerminatedTargetCountsAsMissing) {
    platform.windows->quit.insert(chat.pid);
    ASSERT_TRUE(sendOne());
    EXPECT_NE(CursorPrompt::current(), nullptr);
    EXPECT_TRUE(platform.windows->activations.isEmpty());
}

TEST_F(ChatSenderSend, WithoutThePermissionTheExplanationShowsAndGrantingItSendsTheSameFiles) {
    platform.access->accessibility = false;
    const QString file = picture("a.png");
    EXPECT_FALSE(ChatSender::send({file}));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].endsWith(QStringLiteral("It's also on the clipboard and in Recent.")));
    EXPECT_EQ(platform.pasteboard->png(), bytesOf(file)) << "the user can still paste by hand";
    EXPECT_EQ(platform.accessibility->trustRequests, 0) << "Not Now";

    alertAnswer = 0; // Open Settings
    EXPECT_FALSE(ChatSender::send({file}));
    EXPECT_EQ(platform.accessibility->trustRequests, 1);
    EXPECT_EQ(platform.accessibility->settingsOpened, 1);
    clock.advance(5'000);
    EXPECT_TRUE(keys().isEmpty());
    platform.access->accessibility = true;
    clock.advance(1'000);
    EXPECT_EQ(Toast::shownText(), QStringLiteral("All set. Sending your picture now."));
    clock.advance(10'000);
    EXPECT_EQ(keys().size(), 2);
}

TEST_F(ChatSenderSend, ThePermissionWaitEndsSilentlyAfter300Ticks) {
    ChatSender::reset(); // no target
    platform.access->accessibility = false;
    alertAnswer = 0;
    ChatSender::explainAccessibility({});
    EXPECT_TRUE(alerts[0].endsWith(QStringLiteral("click the send icon on your picture.")));
    EXPECT_EQ(clock.pending(), 0) << "no files: nothing to wait for";

    EXPECT_FALSE(sendOne());
    clock.advance(301'000);
    EXPECT_EQ(clock.pending(), 0);
    platform.access->accessibility = true;
    clock.advance(10'000);
    EXPECT_TRUE(keys().isEmpty());
}
