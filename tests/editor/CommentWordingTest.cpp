#include "editor/CommentWording.h"
#include "ChatServerDouble.h"
#include "EditorTestSupport.h"
#include "markup/NoteWriter.h"
#include "platform/linux/LocalChatModel.h"

#include <QJsonArray>
#include <QMenu>
#include <QTest>
#include <QToolButton>

using namespace ombrel;
using namespace ombrel::test;

namespace {
const QString typed = QStringLiteral("login buton dont respnd when clicked twice");
const QString needsModel =
    QStringLiteral(" Rewriting needs a language model running on this computer, such as Ollama.");
} // namespace

class CommentWordingTest : public EditorTest {
  protected:
    void TearDown() override {
        editor.reset();
        EditorTest::TearDown();
    }
    // The real model client, talking to the stand-in server on loopback.
    void useServer(const ChatServerDouble& server) {
        PlatformServices s;
        s.languageModel = std::make_unique<LocalChatModel>(server.base(), QString());
        Platform::install(std::move(s));
    }
    // An editor with one mark whose comment reads `note`; answers the mark's field.
    NoteField* openWithNote(const QString& note) {
        editor = open();
        editor->canvas()->add({mark(QRectF(10, 10, 80, 40), note)});
        return editor->noteFieldFor(0);
    }
    QToolButton* wandOf(NoteField* field) { return field->parentWidget()->findChild<QToolButton*>("wand"); }
    // Presses the wand of `field` and waits until its flow has ended.
    void press(NoteField* field) {
        QSignalSpy done(editor->wording(), &CommentWording::finished);
        QToolButton* wand = wandOf(field);
        ASSERT_NE(wand, nullptr);
        wand->click();
        ASSERT_TRUE(done.count() > 0 || done.wait(20000)) << "the wand never finished";
    }
    QString note() const { return editor->canvas()->markup().boxes.at(0).note; }

    std::unique_ptr<EditorWindowController> editor;
};

TEST_F(CommentWordingTest, TheModelRewritesTheCommentAndTheWandPressedAgainBringsTheUsersWordsBack) {
    ChatServerDouble server([](const QString&) {
        return QStringLiteral("  \u201CThe login button doesn't respond when clicked twice.\u201D\n");
    });
    useServer(server);
    NoteField* field = openWithNote(typed);
    ASSERT_NE(field, nullptr);
    press(field);
    // The curly quotes of the answer are cleaned away; the field and the mark both change.
    const QString better = QStringLiteral("The login button doesn't respond when clicked twice.");
    EXPECT_EQ(editor->noteFieldFor(0)->text(), better);
    EXPECT_EQ(note(), better);
    EXPECT_EQ(editor->statusText(), "Rewritten on your computer. Press the wand again to undo.");
    // What went to the model: the instructions, the comment and the temperature, nothing else.
    const QList<QJsonObject> requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    const QJsonArray messages = requests.first().value("messages").toArray();
    EXPECT_EQ(messages.at(0).toObject().value("content").toString(), NoteWriter::instructions);
    EXPECT_EQ(messages.at(1).toObject().value("content").toString(), typed);
    EXPECT_DOUBLE_EQ(requests.first().value("temperature").toDouble(), 0.2);
    EXPECT_EQ(requests.first().value("model").toString(), "test-model");

    press(editor->noteFieldFor(0));
    EXPECT_EQ(editor->noteFieldFor(0)->text(), typed);
    EXPECT_EQ(note(), typed);
    EXPECT_EQ(editor->statusText(), "Your own words are back.");
    EXPECT_EQ(server.requests().size(), 1) << "restoring asks the model nothing";
}

TEST_F(CommentWordingTest, AServerErrorKeepsTheCommentAsTyped) {
    ChatServerDouble server([](const QString& c) { return c; }, 500);
    useServer(server);
    NoteField* field = openWithNote(typed);
    press(field);
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(editor->noteFieldFor(0)->text(), typed);
    EXPECT_EQ(note(), typed);
    EXPECT_EQ(editor->statusText(),
              "Couldn't rewrite that one. Red underlines still show any spelling mistakes.");
}

TEST_F(CommentWordingTest, AnAnswerThatRunsAwayOrChangesNothingLeavesTheCommentReadingWell) {
    const QString comment = QStringLiteral("Fix the blue button!");
    for (const QString& answer :
         {QString(comment), QString(400, QLatin1Char('x')), QStringLiteral("\" \"")}) {
        editor.reset(); // before its model goes
        ChatServerDouble server([answer](const QString&) { return answer; });
        useServer(server);
        NoteField* field = openWithNote(comment);
        press(field);
        EXPECT_EQ(editor->noteFieldFor(0)->text(), comment) << answer.left(20).toStdString();
        EXPECT_EQ(editor->statusText(), "That comment already reads well.");
    }
}

TEST_F(CommentWordingTest, WithoutAModelTheWandCountsTheMisspelledWordsAndOpensTheirSpellings) {
    // The fake model does not answer; the fake spell checker knows two words to be wrong.
    platform.spelling->misspelled = {"buton", "respnd"};
    platform.spelling->better = {{"buton", {"button", "baton"}}};
    NoteField* field = openWithNote(typed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->wording()->canRewrite(); }));
    EXPECT_EQ(wandOf(field)->toolTip(), "Check the spelling in this comment");
    press(field);
    EXPECT_EQ(editor->statusText(),
              "2 words to check. Pick the right spelling in the window that opened." + needsModel);
    QMenu* window = editor->wording()->spellingWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_GE(window->actions().size(), 2);
    EXPECT_EQ(window->actions().at(0)->text(), "button");
    window->actions().at(0)->trigger();
    EXPECT_EQ(note(), "login button dont respnd when clicked twice")
        << "the choice replaces the word and the note";
    window->close();

    platform.spelling->misspelled = {"respnd"};
    press(editor->noteFieldFor(0));
    EXPECT_EQ(editor->statusText(),
              "1 word to check. Pick the right spelling in the window that opened." + needsModel);
    platform.spelling->misspelled.clear();
    press(editor->noteFieldFor(0));
    EXPECT_EQ(editor->statusText(), "No spelling mistakes found." + needsModel);
}

TEST_F(CommentWordingTest, AnEmptyCommentOrNoCommentAtAllIsToldPlainly) {
    NoteField* field = openWithNote("   ");
    press(field);
    EXPECT_EQ(editor->statusText(), "Type a comment first.");
    editor->canvas()->setFocus();
    editor->button("Improve Wording")->click();
    EXPECT_EQ(editor->statusText(), "Click a comment on the picture first.");
    // With the keyboard in the comment of the whole picture, the command works on that one.
    platform.spelling->misspelled = {"pagee"};
    editor->commentField()->setPlainText("the whole pagee");
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
    editor->commentField()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->commentField()->hasFocus(); }));
    QSignalSpy done(editor->wording(), &CommentWording::finished);
    editor->button("Improve Wording")->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(editor->statusText(),
              "1 word to check. Pick the right spelling in the window that opened." + needsModel);
}
