// The video editor window offscreen, on a real short recording in a private library:
// playing, cropping, notes, captions, Organise Steps, Reset, saving before Copy and Send,
// and the close question.
#include "VideoFiles.h"
#include "support/TestEnv.h"

#include "library/CaptureStore.h"
#include "platform/Defaults.h"
#include "sending/ChatSender.h"
#include "sending/CursorPrompt.h"
#include "ui/Toast.h"
#include "video/CaptionPainter.h"
#include "video/SpeechReader.h"
#include "video/VideoEditorWindow.h"
#include "video/VideoOverlayView.h"
#include "video/VideoPlayer.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace ombrel;
using namespace ombrel::test;

namespace {

constexpr int W = 320, H = 180;

QAction* action(QMenu* menu, const QString& path) {
    const QStringList parts = path.split('/');
    for (QAction* a : menu->actions()) {
        if (a->text() != parts.first()) continue;
        if (parts.size() == 1) return a;
        return a->menu() ? action(a->menu(), parts.mid(1).join('/')) : nullptr;
    }
    return nullptr;
}

} // namespace

class VideoEditorWindowTest : public LibraryTest {
  protected:
    static void SetUpTestSuite() {
        clips = std::make_unique<QTemporaryDir>();
        clip = clips->filePath("clip.mp4");
        if (!makeVideo(clip, QSize(W, H), 3, 1)) clip.clear();
    }
    static void TearDownTestSuite() { clips.reset(); }

    void SetUp() override {
        LibraryTest::SetUp();
        if (clip.isEmpty()) GTEST_SKIP() << "the ffmpeg program is missing or failed";
        ChatSender::reset();
        VideoTextStyle::last = VideoTextStyle();
        CaptionStyle::last = CaptionStyle();
        const QString day = libraryPath(CaptureStore::dateFolderName());
        QDir().mkpath(day);
        recording = day + "/Ombrel Capture Recording_2026-01-01 at 10.00.00_V1.mp4";
        ASSERT_TRUE(QFile::copy(clip, recording));
        window = VideoEditorWindow::open(recording);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window->duration() > 0 && !window->player().picture().isNull(); }, 10000));
        window->refreshTime();
    }

    void TearDown() override {
        if (CursorPrompt* p = CursorPrompt::current()) p->dismiss();
        const QList<VideoEditorWindow*> open = VideoEditorWindow::openEditors();
        for (VideoEditorWindow* w : open)
            delete w;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ChatSender::reset();
        LibraryTest::TearDown();
    }

    VideoOverlayView& overlay() { return window->overlay(); }
    // A view point of the overlay at unit coordinates of the picture.
    QPoint at(double x, double y) {
        const QRectF v = overlay().videoRect();
        return QPointF(v.left() + x * v.width(), v.top() + y * v.height()).toPoint();
    }
    void drag(QPoint from, QPoint to) {
        QTest::mousePress(&overlay(), Qt::LeftButton, {}, from);
        QTest::mouseMove(&overlay(), (from + to) / 2);
        QTest::mouseMove(&overlay(), to);
        QTest::mouseRelease(&overlay(), Qt::LeftButton, {}, to);
    }
    QString status() { return window->statusLabel()->text(); }
    void addNote(double x, double y, const QString& text) {
        window->button("Add Text")->click();
        QTest::mouseClick(&overlay(), Qt::LeftButton, {}, at(x, y));
        ASSERT_TRUE(window->typingField()->isVisible());
        QTest::keyClicks(window->typingField(), text);
        QTest::keyClick(window->typingField(), Qt::Key_Return);
    }
    void waitForSave() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isSaving(); }, 60000));
    }
    QString v2() const {
        return QFileInfo(recording).absolutePath() +
               "/Ombrel Capture Recording_2026-01-01 at 10.00.00_V2.mp4";
    }

    static inline std::unique_ptr<QTemporaryDir> clips;
    static inline QString clip;
    QString recording;
    VideoEditorWindow* window = nullptr;
};

TEST_F(VideoEditorWindowTest, PlayingAtTheEndStartsAgainAndSpaceTogglesOnlyOutsideFields) {
    EXPECT_EQ(window->timeLabel()->text(), "00:00 / 00:03");
    EXPECT_EQ(VideoEditorWindow::open(recording), window) << "one editor per file";
    window->seek(window->duration());
    window->togglePlay();
    EXPECT_TRUE(window->player().isPlaying());
    EXPECT_LT(window->player().position(), 0.5) << "from the beginning";
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_FALSE(window->player().isPlaying());
    QTest::keyClick(window, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_FALSE(window->player().isPlaying()) << "not with a modifier";
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_TRUE(window->player().isPlaying());

    // While typing a note, Space is a space.
    window->button("Add Text")->click();
    EXPECT_FALSE(window->player().isPlaying()) << "Add Text pauses";
    EXPECT_EQ(status(), "Click on the video where the text should go.");
    QTest::mouseClick(&overlay(), Qt::LeftButton, {}, at(0.2, 0.3));
    EXPECT_EQ(status(), "Type on the video, then press Return. Drag it to move it.");
    QTest::keyClicks(window->typingField(), "Open menu");
    EXPECT_FALSE(window->player().isPlaying());
    EXPECT_EQ(window->edit().notes.value(0).text, "Open menu") << "typing updates the note at once";
    EXPECT_EQ(overlay().typingNote(), 0) << "the overlay leaves it to the field";
}

TEST_F(VideoEditorWindowTest, TinyCropsAreIgnoredAndALargerOneReplacesTheLast) {
    window->button("Crop")->click();
    EXPECT_EQ(status(), "Drag on the video around the part to keep.");
    drag(at(0.1, 0.1), at(0.12, 0.6)); // 2 % × 50 %
    EXPECT_FALSE(window->edit().crop);
    EXPECT_EQ(overlay().mode(), VideoOverlayView::Mode::crop) << "still cropping";
    drag(at(0.5, 0.5), at(0.1, 0.2)); // dragged up and left
    ASSERT_TRUE(window->edit().crop);
    EXPECT_NEAR(window->edit().crop->left(), 0.1, 0.01);
    EXPECT_NEAR(window->edit().crop->width(), 0.4, 0.01);
    EXPECT_EQ(overlay().mode(), VideoOverlayView::Mode::play);
    EXPECT_FALSE(window->button("Crop")->isChecked());
    EXPECT_EQ(status(), "Cropped. Save Version keeps it, and Reset clears it.");
    window->button("Crop")->click();
    drag(at(0.6, 0.6), at(0.64, 0.64)); // 4 % × 4 %
    ASSERT_TRUE(window->edit().crop);
    EXPECT_NEAR(window->edit().crop->width(), 0.04, 0.01);
    EXPECT_NEAR(window->edit().crop->left(), 0.6, 0.01);
    // Crop and Add Text switch each other off.
    window->button("Crop")->click();
    window->button("Add Text")->click();
    EXPECT_FALSE(window->button("Crop")->isChecked());
    EXPECT_EQ(overlay().mode(), VideoOverlayView::Mode::addText);
}

TEST_F(VideoEditorWindowTest, NotesStayOnThePictureMoveWithTheMouseAndAreListed) {
    addNote(0.0, 0.0, "Corner");
    ASSERT_EQ(window->edit().notes.size(), 1);
    // A click beyond the picture's edge still lands on it.
    window->button("Add Text")->click();
    const QRectF v = overlay().videoRect();
    QTest::mouseClick(&overlay(), Qt::LeftButton, {}, (v.bottomRight() + QPointF(3, 3)).toPoint());
    QTest::keyClick(window->typingField(), Qt::Key_Escape);
    ASSERT_EQ(window->edit().notes.size(), 2);
    EXPECT_EQ(window->edit().notes[1].x, 1.0);
    EXPECT_EQ(window->edit().notes[1].y, 1.0);
    EXPECT_TRUE(window->edit().notes[1].text.isEmpty()) << "left empty: still listed";
    EXPECT_EQ(window->noteFields().size(), 2);
    EXPECT_EQ(window->notesScroll()->height(), VideoEditorWindow::notesListHeight(2));

    window->removeNote(0);
    addNote(0.3, 0.3, "Move me");
    ASSERT_EQ(window->edit().notes.size(), 2);
    const QRectF frame = overlay().noteFrame(1);
    drag(frame.center().toPoint(), (v.topLeft() - QPointF(40, 40)).toPoint());
    EXPECT_EQ(window->edit().notes[1].x, 0) << "dragged past the edge: its corner stays on the edge";
    EXPECT_EQ(window->edit().notes[1].y, 0);
    EXPECT_EQ(window->edit().notes.size(), 2) << "moving a note in play mode places none";

    // Editing the list changes the note; its time button goes to its moment.
    window->seek(2.5);
    QTest::keyClicks(window->noteFields()[1], " now");
    EXPECT_EQ(window->edit().notes[1].text, "Move me now");
    window->jumpToNote(1);
    EXPECT_NEAR(window->player().position(), window->edit().notes[1].time, 1e-9);
    window->jumpToNote(7); // a stale row: nothing happens

    EXPECT_EQ(VideoEditorWindow::notesListHeight(1), 34);
    EXPECT_EQ(VideoEditorWindow::notesListHeight(10), 150) << "385 is capped";
    EXPECT_EQ(VideoEditorWindow::notesListHeight(0), 0);
}

TEST_F(VideoEditorWindowTest, ANoteStyleChosenIsTakenByTheNextNote) {
    addNote(0.1, 0.1, "First");
    std::unique_ptr<QMenu> menu = window->makeStyleMenu(0);
    ASSERT_TRUE(action(menu.get(), "Background/Yellow"));
    EXPECT_TRUE(action(menu.get(), "Background/Ombrel")->isChecked());
    action(menu.get(), "Background/Yellow")->trigger();
    action(window->makeStyleMenu(0).get(), "Size/Large")->trigger();
    EXPECT_EQ(window->edit().notes[0].style.background, "Yellow");
    EXPECT_EQ(window->edit().notes[0].style.size, 1.4);
    addNote(0.5, 0.5, "Second");
    EXPECT_EQ(window->edit().notes[1].style, window->edit().notes[0].style);
}

TEST_F(VideoEditorWindowTest, OrganisingTwiceGivesBackTheNotesAndAConfirmedResetForgetsIt) {
    window->seek(1.0);
    addNote(0.4, 0.4, "  2) second");
    window->seek(0.0);
    addNote(0.6, 0.2, "first");
    const VideoEdit before = window->edit();
    window->organiseSteps();
    EXPECT_EQ(status(), "Organised into numbered steps. Press again to undo.");
    EXPECT_EQ(window->edit().notes[0].text, "1. First");
    EXPECT_EQ(window->noteFields()[0]->text(), "1. First") << "the list follows";
    window->organiseSteps();
    EXPECT_EQ(status(), "Back as you had it.");
    EXPECT_EQ(window->edit(), before);

    window->organiseSteps();
    window->resetEdits();
    ASSERT_TRUE(window->question());
    EXPECT_EQ(window->question()->text(), "Reset all your changes?");
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Reset") b->click();
    EXPECT_FALSE(window->edit().hasChanges());
    EXPECT_TRUE(window->edit().notes.isEmpty());
    EXPECT_EQ(window->button("Reset")->text(), "Undo Reset");
    EXPECT_EQ(status(), "Back to the original. Press Undo Reset to bring your changes back.");
    EXPECT_EQ(Toast::currentText(), "Changes cleared");
    window->organiseSteps(); // starts a new organising: nothing to undo from before the reset
    EXPECT_TRUE(window->edit().notes.isEmpty());
}

TEST_F(VideoEditorWindowTest, UndoResetBringsChangesBackUntilAnythingElseChanges) {
    window->resetEdits();
    EXPECT_EQ(status(), "Nothing to reset. This is the original.");
    EXPECT_FALSE(window->question());
    window->toggleMute();
    EXPECT_EQ(status(), "Muted. Save Version removes the sound.");
    EXPECT_TRUE(window->player().isMuted());
    window->applyCrop(QRectF(0.1, 0.1, 0.5, 0.5));
    const VideoEdit changed = window->edit();
    window->resetEdits();
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Reset") b->click();
    EXPECT_FALSE(window->button("Mute")->isChecked());
    EXPECT_FALSE(window->player().isMuted());
    window->resetEdits();
    EXPECT_EQ(window->edit(), changed) << "Undo Reset";
    EXPECT_EQ(status(), "Your changes are back.");
    EXPECT_EQ(window->button("Reset")->text(), "Reset");

    window->resetEdits();
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Reset") b->click();
    window->toggleMute(); // any change ends the chance
    EXPECT_EQ(window->button("Reset")->text(), "Reset");
    window->resetEdits();
    ASSERT_TRUE(window->question()) << "a new reset is asked for, nothing is brought back";
    QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_FALSE(window->isSaving()) << "no sending while the sheet is up";
    EXPECT_FALSE(window->player().isPlaying());
    EXPECT_TRUE(window->edit().isMuted);
    EXPECT_FALSE(window->edit().crop);
}

TEST_F(VideoEditorWindowTest, ACaptionIsChangedInPlaceAndRemovedWhenErased) {
    window->setEdit([](VideoEdit& e) { e.captions = {{0.0, 2.5, "Hello there"}, {2.5, 0.5, "Bye"}}; });
    window->seek(1.0);
    const QRectF box = overlay().captionLayout(0).box;
    QTest::mouseClick(&overlay(), Qt::LeftButton, {}, box.center().toPoint());
    EXPECT_EQ(overlay().editingCaption(), 0);
    ASSERT_TRUE(window->captionField()->isVisible());
    EXPECT_EQ(window->captionField()->text(), "Hello there");
    EXPECT_EQ(status(), "Change the words, then press Return.");
    EXPECT_EQ(window->captionField()->geometry(), box.adjusted(-2, -2, 2, 2).toRect());
    QTest::keyClicks(window->captionField(), "!");
    EXPECT_EQ(window->edit().captions[0].text, "Hello there!");
    QTest::keyClick(window->captionField(), Qt::Key_Return);
    EXPECT_FALSE(overlay().editingCaption());
    EXPECT_EQ(window->edit().captions.size(), 2);

    window->beginChangingCaption(0);
    window->captionField()->selectAll();
    QTest::keyClick(window->captionField(), Qt::Key_Delete);
    QTest::keyClick(window->captionField(), Qt::Key_Space);
    QTest::keyClick(window->captionField(), Qt::Key_Escape);
    ASSERT_EQ(window->edit().captions.size(), 1) << "an erased caption goes when typing ends";
    EXPECT_EQ(window->edit().captions[0].text, "Bye");
    window->beginChangingCaption(5); // stale: ignored
    EXPECT_FALSE(overlay().editingCaption());
}

TEST_F(VideoEditorWindowTest, CaptionDesignsKeepThePositionAndSingleChoicesMakeItCustom) {
    EXPECT_FALSE(window->button("Caption Design")->isEnabled()) << "no captions yet";
    window->setEdit([](VideoEdit& e) { e.captions = {{0.0, 2.5, "Words"}}; });
    EXPECT_TRUE(window->button("Caption Design")->isEnabled());
    std::unique_ptr<QMenu> menu = window->makeCaptionMenu();
    EXPECT_TRUE(action(menu.get(), "TV Bar")->isChecked());
    action(menu.get(), "Position/Top")->trigger();
    EXPECT_EQ(window->edit().captionStyle.look, "Custom");
    EXPECT_EQ(window->edit().captionStyle.position, "Top");
    action(window->makeCaptionMenu().get(), "Soft Pill")->trigger();
    EXPECT_EQ(window->edit().captionStyle.look, "Soft Pill");
    EXPECT_EQ(window->edit().captionStyle.position, "Top") << "a design keeps the position";
    EXPECT_FALSE(window->edit().captionStyle.fullWidth);
    action(window->makeCaptionMenu().get(), "Background Shape/Full Bar")->trigger();
    EXPECT_TRUE(window->edit().captionStyle.fullWidth);
    EXPECT_EQ(CaptionStyle::last, window->edit().captionStyle) << "new edits take it";
    action(window->makeCaptionMenu().get(), "Remove Captions")->trigger();
    EXPECT_TRUE(window->edit().captions.isEmpty());
    EXPECT_FALSE(window->button("Caption Design")->isEnabled());
}

TEST_F(VideoEditorWindowTest, TheOverlayLaysCaptionsOutAsTheRendererDoes) {
    window->setEdit([](VideoEdit& e) { e.captions = {{0.0, 2.5, "The same words in both"}}; });
    const QRectF v = overlay().videoRect();
    const auto rendered =
        CaptionPainter::picture("The same words in both", window->edit().captionStyle, v.size().toSize());
    ASSERT_TRUE(rendered);
    const QRectF shown = overlay().captionLayout(0).box;
    EXPECT_NEAR(shown.left() - v.left(), rendered->box.left(), 0.5);
    EXPECT_NEAR(shown.top() - v.top(), rendered->box.top(), 0.5);
    EXPECT_NEAR(shown.width(), rendered->box.width(), 0.5);
    EXPECT_NEAR(shown.height(), rendered->box.height(), 0.5);
    // With a crop the caption sits inside the part that is kept.
    window->applyCrop(QRectF(0.25, 0.1, 0.5, 0.6));
    EXPECT_EQ(overlay().captionArea(), overlay().view(QRectF(0.25, 0.1, 0.5, 0.6)));
    EXPECT_TRUE(overlay().captionArea().contains(overlay().captionLayout(0).box));
}

TEST_F(VideoEditorWindowTest, SavingWritesTheNextVersionAndShowsIt) {
    window->saveVersion();
    EXPECT_EQ(status(), "Nothing to save yet.");
    addNote(0.1, 0.1, "");
    window->saveVersion();
    EXPECT_EQ(status(), "Nothing to save yet.") << "an empty note is nothing";
    window->applyCrop(QRectF(0, 0, 0.5, 0.5));
    window->saveVersion();
    EXPECT_EQ(status(), "Saving Ombrel Capture Recording_2026-01-01 at 10.00.00_V2…");
    EXPECT_FALSE(window->button("Save Version")->isEnabled());
    waitForSave();
    EXPECT_EQ(status(), "Saved as Ombrel Capture Recording_2026-01-01 at 10.00.00_V2.");
    EXPECT_EQ(window->file(), v2());
    EXPECT_EQ(window->windowTitle(), "Ombrel Capture Recording_2026-01-01 at 10.00.00_V2");
    EXPECT_EQ(streamsOf(v2()).size, QSize(W / 2, H / 2));
    EXPECT_TRUE(QFile::exists(recording)) << "the original stays";
    EXPECT_FALSE(window->edit().hasChanges());
    EXPECT_TRUE(window->noteFields().isEmpty());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->player().presentationSize() == QSize(W / 2, H / 2); }, 10000));
}

TEST_F(VideoEditorWindowTest, CopyAndSendSaveChangesFirstAndActOnTheNewVersion) {
    window->copyVideo();
    ASSERT_EQ(platform.pasteboard->fileList.size(), 1);
    EXPECT_EQ(platform.pasteboard->fileList[0].toLocalFile(), recording) << "no changes: the file as shown";
    EXPECT_EQ(Toast::currentText(), "Copied");

    window->toggleMute();
    window->copyVideo();
    EXPECT_EQ(Toast::currentText(), "Saving your changes…");
    waitForSave();
    ASSERT_EQ(platform.pasteboard->fileList.size(), 1);
    EXPECT_EQ(platform.pasteboard->fileList[0].toLocalFile(), v2());
    EXPECT_EQ(streamsOf(v2()).audios, 0);

    // Ctrl+Return sends from anywhere in the window, even while typing.
    addNote(0.2, 0.2, "Send this");
    window->beginTyping(0);
    QTest::keyClick(window->typingField(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(window->isSaving());
    waitForSave();
    const QString v3 =
        QFileInfo(recording).absolutePath() + "/Ombrel Capture Recording_2026-01-01 at 10.00.00_V3.mp4";
    EXPECT_EQ(window->file(), v3);
    EXPECT_EQ(platform.pasteboard->fileList.value(0).toLocalFile(), v3)
        << "the chat sender got the new version";
}

TEST_F(VideoEditorWindowTest, AFailedSaveKeepsTheEditAndSendsNothing) {
    window->applyCrop(QRectF(0, 0, 0.5, 0.5));
    QFile::resize(recording, 0); // the recording is gone bad under the editor
    window->copyVideo();
    waitForSave();
    EXPECT_TRUE(status().startsWith("Couldn't save: ")) << status().toStdString();
    EXPECT_EQ(Toast::currentText(), "Couldn't save your changes, so nothing was sent.");
    EXPECT_TRUE(platform.pasteboard->fileList.isEmpty());
    EXPECT_FALSE(QFile::exists(v2()));
    EXPECT_TRUE(window->edit().crop) << "kept for another try";
    EXPECT_TRUE(window->button("Save Version")->isEnabled());
}

TEST_F(VideoEditorWindowTest, ClosingWithChangesAsksAndSaveVersionKeepsTheWindowOpen) {
    window->toggleMute();
    window->close();
    ASSERT_TRUE(window->question());
    EXPECT_EQ(window->question()->text(), "Save your changes as a new version?");
    EXPECT_EQ(window->question()->informativeText(), "Your original video stays as it is either way.");
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Save Version") b->click();
    EXPECT_TRUE(window->isVisible());
    waitForSave();
    EXPECT_EQ(window->file(), v2());
    EXPECT_TRUE(VideoEditorWindow::openEditors().contains(window));

    window->toggleMute();
    window->close();
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Cancel") b->click();
    EXPECT_TRUE(window->isVisible());
    window->close();
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Don't Save") b->click();
    EXPECT_FALSE(VideoEditorWindow::openEditors().contains(window)) << "closed and the changes lost";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Transcribe, with the fake recogniser hearing one "word" in the clip's tone.
TEST_F(VideoEditorWindowTest, TranscribeReplacesTheCaptionsWithWhatWasHeard) {
    window->setEdit([](VideoEdit& e) { e.captions = {{0, 1, "Old"}, {1, 1, "Captions"}}; });
    QSignalSpy ended(window, &VideoEditorWindow::transcribed);
    window->button("Transcribe")->click();
    EXPECT_EQ(status(), "Asking to use speech recognition…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isTranscribing(); }, 2000));
    EXPECT_FALSE(window->button("Transcribe")->isEnabled());
    EXPECT_FALSE(window->button("Transcribe Language")->isEnabled());
    ASSERT_TRUE(ended.wait(20000));
    ASSERT_EQ(window->edit().captions.size(), 1);
    EXPECT_EQ(window->edit().captions.first().text, "word");
    EXPECT_EQ(status(), "1 captions added. Pause and click one to change it.");
    EXPECT_TRUE(window->button("Transcribe")->isEnabled());
    EXPECT_TRUE(window->button("Caption Design")->isEnabled());
}

TEST_F(VideoEditorWindowTest, TheLanguageMenuStoresTheChoiceAndALanguageWithoutAModelSaysSo) {
    std::unique_ptr<QMenu> menu = window->makeLanguageMenu();
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions().first()->text(), "Transcribe Language");
    EXPECT_FALSE(menu->actions().first()->isEnabled());
    ASSERT_TRUE(action(menu.get(), "Same as My Computer"));
    EXPECT_TRUE(action(menu.get(), "Same as My Computer")->isChecked());
    ASSERT_TRUE(action(menu.get(), "Hindi"));
    action(menu.get(), "Hindi")->trigger();
    EXPECT_EQ(status(), "Transcribe will listen for Hindi.");
    EXPECT_EQ(Defaults::get(SpeechReader::languageKey), "hi-IN");
    EXPECT_TRUE(action(window->makeLanguageMenu().get(), "Hindi")->isChecked());

    platform.speech->unavailable = {"hi-IN"};
    QSignalSpy ended(window, &VideoEditorWindow::transcribed);
    window->transcribe();
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(status(),
              "Speech recognition isn't available on this computer right now. Choose another language "
              "with the globe button, then press Transcribe.");
    EXPECT_TRUE(window->edit().captions.isEmpty());
    EXPECT_TRUE(window->button("Transcribe")->isEnabled()) << "never a dead end";

    action(window->makeLanguageMenu().get(), "Same as My Computer")->trigger();
    EXPECT_FALSE(Defaults::has(SpeechReader::languageKey.name));
}

TEST_F(VideoEditorWindowTest, WithoutSpeechRecognitionTheSettingIsOfferedAndTranscribeCanBePressedAgain) {
    platform.speech->authorized = false;
    platform.speech->grantWhenAsked = false;
    window->transcribe();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->question() != nullptr; }, 2000));
    EXPECT_EQ(status(), "Transcribe needs Speech Recognition turned on.");
    EXPECT_EQ(window->question()->text(), "Allow Speech Recognition");
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Open Settings") b->click();
    ASSERT_EQ(platform.workspace->opened.size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->question() != nullptr; }, 2000));
    EXPECT_EQ(window->question()->text(), "Turn on Ombrel Capture in that list, then press Transcribe.");
    platform.speech->grantWhenAsked = true;
    QSignalSpy ended(window, &VideoEditorWindow::transcribed);
    for (QAbstractButton* b : window->question()->buttons())
        if (b->text() == "Transcribe") b->click();
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(window->edit().captions.size(), 1);

    EXPECT_TRUE(VideoEditorWindow::dictationIsOff("kAFAssistantErrorDomain", 1700, "x"));
    EXPECT_TRUE(VideoEditorWindow::dictationIsOff("other", 1, "Siri and Dictation are disabled"));
    EXPECT_FALSE(VideoEditorWindow::dictationIsOff("kAFAssistantErrorDomain", 1110, "No speech detected"));
}
