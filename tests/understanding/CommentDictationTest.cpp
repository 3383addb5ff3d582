// Dictated comments against a fake speech stream: joining pieces of text, telling a
// restarted transcript from a longer one, passes one after another until two quiet ones,
// late results of an old pass, and every way a start can fail.
#include "support/TestEnv.h"

#include "understanding/CommentDictation.h"

#include <QCoreApplication>
#include <QTest>
#include <functional>

using namespace ombrel;
using namespace ombrel::test;

TEST(CommentDictationText, JoiningAddsOneSpaceAndCapitalisesAfterASentence) {
    EXPECT_EQ(CommentDictation::joined("", "then click"), "then click");
    EXPECT_EQ(CommentDictation::joined("Click here", ""), "Click here");
    EXPECT_EQ(CommentDictation::joined("Open it.", "then click"), "Open it. Then click");
    EXPECT_EQ(CommentDictation::joined("Look!", "there"), "Look! There");
    EXPECT_EQ(CommentDictation::joined("Why?", "because"), "Why? Because");
    EXPECT_EQ(CommentDictation::joined("First,", "then"), "First, then");
    EXPECT_EQ(CommentDictation::joined("Open it", "then click"), "Open it then click");
}

TEST(CommentDictationText, ARestartedTranscriptIsShorterOrBeginsWithAnotherWord) {
    const QString eleven = "click there"; // 11 characters
    EXPECT_FALSE(CommentDictation::startedAfresh(eleven, "x"));
    EXPECT_FALSE(CommentDictation::startedAfresh(eleven, ""));
    const QString twenty = "open the menu please"; // 20 characters
    ASSERT_EQ(twenty.size(), 20);
    EXPECT_TRUE(CommentDictation::startedAfresh(twenty, "open the me"));   // 11 < 12
    EXPECT_FALSE(CommentDictation::startedAfresh(twenty, "open the men")); // 12, same first word
    EXPECT_TRUE(CommentDictation::startedAfresh(twenty, "save it, now"));  // 12, another first word
    EXPECT_FALSE(CommentDictation::startedAfresh(twenty, "Open-the menu"))
        << "the first word is a run of letters, lower-cased";
    EXPECT_FALSE(CommentDictation::startedAfresh(twenty, "something else entir"));
    EXPECT_FALSE(CommentDictation::startedAfresh(twenty, "open the menu please and then"));
}

class CommentDictationTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        dictation = std::make_unique<CommentDictation>();
    }
    void TearDown() override {
        dictation.reset();
        LibraryTest::TearDown();
    }

    // Starts with `after` and waits until the permissions were answered.
    void start(const QString& after) {
        dictation->start(
            after, [this] { ++starts; }, [this](const QString& text) { comments << text; },
            [this] { ++stops; }, [this](const QString& message) { problems << message; });
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    FakeSpeechTask* pass() {
        return platform.speech->tasks.isEmpty() ? nullptr : platform.speech->tasks.last();
    }
    void say(std::optional<QString> text, bool done) {
        ASSERT_NE(pass(), nullptr);
        pass()->say(std::move(text), done);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<CommentDictation> dictation;
    int starts = 0, stops = 0;
    QStringList comments, problems;
};

TEST_F(CommentDictationTest, PassesFollowOneAnotherUntilTwoInARowHearNothing) {
    start("  Before this\n");
    ASSERT_TRUE(dictation->isListening());
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pass() && pass()->chunks > 0; }, 2000))
        << "the microphone feeds the pass";

    say("open the", false);
    say("open the menu", false);
    EXPECT_EQ(comments.last(), "Before this open the menu")
        << "the starting text is trimmed, one space follows";
    say("open the menu.", true);
    EXPECT_EQ(platform.speech->tasksStarted, 2) << "a pass that heard something starts the next";
    EXPECT_EQ(dictation->before(), "Before this open the menu.");

    say(std::nullopt, true); // a quiet pass: still listening
    ASSERT_TRUE(dictation->isListening());
    EXPECT_EQ(dictation->quietEndings(), 1);
    say("then save", false);
    EXPECT_EQ(comments.last(), "Before this open the menu. Then save");
    say(std::nullopt, true); // ends with what it heard: the quiet count starts again
    EXPECT_EQ(dictation->quietEndings(), 0);
    say(std::nullopt, true);
    ASSERT_TRUE(dictation->isListening());
    say(std::nullopt, true);
    EXPECT_FALSE(dictation->isListening()) << "two quiet passes in a row end dictation";
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(platform.speech->tasks.isEmpty()) << "the last pass was finished";
    EXPECT_TRUE(problems.isEmpty());
}

TEST_F(CommentDictationTest, ARestartedTranscriptIsKeptAndALateResultOfAnOldPassIgnored) {
    start("");
    say("please open the settings", false);
    say("now", false); // much shorter: the recogniser began again
    EXPECT_EQ(comments.last(), "please open the settings now");

    // A result that arrives after its pass already ended belongs to no current request.
    FakeSpeechTask* old = pass();
    old->say("now save", true);
    old->say("stale words", false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(comments.last().contains("stale"));
    EXPECT_EQ(comments.last(), "please open the settings now save");
}

TEST_F(CommentDictationTest, StartingAgainEndsTheRunningDictationFirst) {
    start("one");
    ASSERT_TRUE(dictation->isListening());
    int secondStops = 0;
    stops = 0;
    dictation->start("two", {}, {}, [&] { ++secondStops; }, {});
    EXPECT_EQ(stops, 1) << "the old onStop is called before the new start";
    QCoreApplication::processEvents();
    EXPECT_TRUE(dictation->isListening());
    dictation->stop();
    dictation->stop();
    EXPECT_EQ(secondStops, 1);
}

TEST_F(CommentDictationTest, EveryFailedStartSaysWhyOnceAndNeverCallsOnStop) {
    // Each failure is added to those before it and is the one told: it is met first.
    const std::pair<std::function<void()>, const char*> failures[]{
        {[&] { platform.recording->microphoneFails = "The device is busy."; },
         "Couldn't use the microphone. Check that one is connected."},
        {[&] { platform.speech->unavailable = {QString()}; },
         "Speech recognition isn't available on this computer right now."},
        {[&] { platform.recording->answerWhenAsked = false; },
         "Couldn't find a microphone. Check that one is connected, then try again."},
        {[&] { platform.speech->authorized = false, platform.speech->grantWhenAsked = false; },
         "To speak comments, allow the microphone and speech recognition for Ombrel Capture in Settings, "
         "Privacy and Security."},
    };
    for (const auto& [fail, message] : failures) {
        problems.clear();
        fail();
        start("text");
        EXPECT_EQ(problems, QStringList{QString::fromUtf8(message)});
        EXPECT_FALSE(dictation->isListening());
    }
    EXPECT_EQ(starts + stops, 0);
}
