// The editor's typing, keys and controls: where the keyboard goes after Return, Tab and a
// click into a comment, the two fields of a note in the sticky and glass looks, the look,
// font, size, border and paper controls, zoom, window sizes and one ending per press.
#include "EditorTestSupport.h"
#include "library/CaptureStore.h"
#include "markup/MarkStyle.h"
#include "understanding/CommentDictation.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QScreen>
#include <QSizeGrip>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

using namespace ombrel;
using namespace ombrel::test;

namespace {

class EditorTyping : public EditorTest {
  protected:
    // An editor on this test screen, its window active.
    std::unique_ptr<EditorWindowController> open(CaptureStyle style = CaptureStyle::MiniPanel,
                                                 QSize size = QSize(1000, 600)) {
        auto editor = EditorTest::open(plainPicture(Qt::white, size), style, screen());
        QApplication::setActiveWindow(editor.get());
        return editor;
    }
    // An editor with three marks and, between the first two, a blur box.
    std::unique_ptr<EditorWindowController> openWithThreeMarks() {
        auto editor = open();
        editor->canvas()->add({mark({20, 20, 80, 60}), blur({150, 20, 60, 60}), mark({300, 20, 80, 60}),
                               mark({500, 200, 80, 60})});
        return editor;
    }
    static QRect screen() {
        return QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                : QRect(0, 0, 1280, 800);
    }
    // The widget that has the keyboard in the editor.
    static QWidget* keyboard(EditorWindowController& editor) { return editor.focusWidget(); }
    // Types `text` where the keyboard is, then presses Return.
    static void typeAndReturn(EditorWindowController& editor, const QString& text) {
        QTest::keyClicks(keyboard(editor), text);
        QTest::keyClick(keyboard(editor), Qt::Key_Return);
    }
};

TEST_F(EditorTyping, ReturnMovesTheTypingToTheNextMarksNoteAndEndsItAfterTheLastAndTabGoesRound) {
    auto editor = openWithThreeMarks();
    editor->moveTypingTo(0);
    ASSERT_EQ(keyboard(*editor), editor->noteFieldFor(0));
    typeAndReturn(*editor, "first");
    EXPECT_EQ(keyboard(*editor), editor->noteFieldFor(2)) << "the blur box has no note: on to mark 2";
    EXPECT_EQ(editor->canvas()->selected(), 2);
    typeAndReturn(*editor, "second");
    typeAndReturn(*editor, "third");
    const QList<Markup::Box>& boxes = editor->canvas()->markup().boxes;
    EXPECT_EQ(boxes[0].note, "first");
    EXPECT_EQ(boxes[2].note, "second");
    EXPECT_EQ(boxes[3].note, "third");
    EXPECT_EQ(keyboard(*editor), editor->canvas()) << "after the last mark typing ends";
    EXPECT_EQ(editor->canvas()->selected(), std::nullopt);
    QTest::keyClick(editor.get(), Qt::Key_3);
    EXPECT_EQ(editor->canvas()->tool(), CanvasView::Tool::Hide) << "keys choose tools again";
    EXPECT_EQ(boxes[3].note, "third");

    // Tab and Shift+Tab go round the notes, wrapping at the ends.
    editor->moveTypingTo(3);
    QTest::keyClick(keyboard(*editor), Qt::Key_Tab);
    EXPECT_EQ(keyboard(*editor), editor->noteFieldFor(0));
    QTest::keyClick(keyboard(*editor), Qt::Key_Backtab);
    EXPECT_EQ(keyboard(*editor), editor->noteFieldFor(3));
}

TEST_F(EditorTyping, ABoxDrawnWhileTypingTakesTheTypingToItsOwnNote) {
    auto editor = open();
    editor->canvas()->add({mark({20, 20, 80, 60})});
    QTest::keyClicks(QApplication::focusWidget(), "First thing");
    editor->canvas()->add({mark({300, 20, 80, 60})});
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), editor->noteFieldFor(1));
    QTest::keyClicks(QApplication::focusWidget(), "Second thing");
    EXPECT_EQ(editor->canvas()->markup().boxes[0].note, "First thing");
    EXPECT_EQ(editor->canvas()->markup().boxes[1].note, "Second thing");
}

TEST_F(EditorTyping, InTheStickyLookTypingMovesFromNoteToNoteOnThePicture) {
    NoteLooks::setCurrent(NoteLook::Sticky);
    auto editor = openWithThreeMarks();
    CanvasView* c = editor->canvas();
    editor->moveTypingTo(0);
    ASSERT_EQ(keyboard(*editor), c->noteField());
    EXPECT_EQ(c->editingNote(), 0);
    typeAndReturn(*editor, "on the paper");
    EXPECT_EQ(c->editingNote(), 2) << "the field moves to the next note";
    EXPECT_EQ(keyboard(*editor), c->noteField());
    EXPECT_EQ(c->noteField()->text(), "") << "showing that note's words, not the last one's";
    typeAndReturn(*editor, {});
    typeAndReturn(*editor, {});
    EXPECT_EQ(c->editingNote(), std::nullopt) << "after the last note";
    EXPECT_FALSE(c->noteField()->isVisible());
    EXPECT_EQ(keyboard(*editor), c);
    EXPECT_EQ(c->markup().boxes[0].note, "on the paper");
}

TEST_F(EditorTyping, ClickingIntoACommentSelectsItsMarkSoReturnGoesOnFromThere) {
    auto editor = openWithThreeMarks();
    editor->canvas()->select(0); // a mark picked on the picture
    NoteField* second = editor->noteFieldFor(2);
    QTest::mouseClick(second->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(editor->canvas()->selected(), 2);
    ASSERT_EQ(keyboard(*editor), second);
    typeAndReturn(*editor, "typed");
    EXPECT_EQ(keyboard(*editor), editor->noteFieldFor(3));
    QTest::keyClicks(keyboard(*editor), "kept");
    EXPECT_EQ(editor->canvas()->markup().boxes[2].note, "typed");
    EXPECT_EQ(editor->canvas()->markup().boxes[3].note, "kept") << "the words after Return are not lost";
}

TEST_F(EditorTyping, InTheGlassLookTheNoteOnThePictureShowsTheWordsTypedInItsRow) {
    NoteLooks::setCurrent(NoteLook::Glass);
    auto editor = openWithThreeMarks();
    NoteField* row = editor->noteFieldFor(2);
    QTest::mouseClick(row->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    CanvasView* c = editor->canvas();
    EXPECT_EQ(c->editingNote(), 2);
    for (const QString& word : {QString("Log"), QString("in")}) {
        QTest::keyClicks(row, word);
        EXPECT_EQ(c->noteField()->text(), row->text()) << "at every keystroke";
    }
    EXPECT_TRUE(c->noteField()->isVisible());
    QTest::keyClicks(c->noteField(), " here");
    EXPECT_EQ(row->text(), "Login here") << "and the other way round";
}

TEST_F(EditorTyping, TheLookControlsStoreTheirChoicesAndAPaperGoesToTheSelectedStickyNote) {
    auto editor = openWithThreeMarks();
    auto* font = editor->findChild<QComboBox*>("fontBox");
    auto* size = editor->findChild<QComboBox*>("textSizeBox");
    ASSERT_TRUE(font && size);
    font->setCurrentText("Serif");
    Q_EMIT font->textActivated("Serif");
    Q_EMIT size->textActivated("Large");
    editor->chooseBorder("Thick");
    EXPECT_EQ(MarkStyle::fontName(), "Serif");
    EXPECT_EQ(MarkStyle::sizeName(), "Large");
    EXPECT_EQ(MarkStyle::borderName(), "Thick");

    // The paper menu's last heading says what a paper chosen now goes to.
    auto* menu = editor->findChild<QMenu*>("borderPaperMenu");
    ASSERT_NE(menu, nullptr);
    const auto paperHeading = [menu] {
        Q_EMIT menu->aboutToShow();
        QString last;
        for (QAction* a : menu->actions())
            if (a->isSeparator() && !a->text().isEmpty()) last = a->text();
        return last.toStdString();
    };
    EXPECT_EQ(paperHeading(), "Paper colours are for sticky notes");
    NoteLooks::setCurrent(NoteLook::Sticky);
    editor->noteLookChanged();
    EXPECT_EQ(editor->lookBox()->currentIndex(), int(NoteLook::Sticky));
    editor->canvas()->select(2);
    EXPECT_EQ(paperHeading(), "Paper colour for this sticky note");
    editor->choosePaper(3);
    EXPECT_EQ(editor->canvas()->markup().boxes[2].paper, 3);
    EXPECT_EQ(NotePaper::current(), 0) << "new notes keep theirs";
    editor->canvas()->select(std::nullopt);
    EXPECT_EQ(paperHeading(), "Paper colour for new sticky notes");
    editor->choosePaper(2);
    EXPECT_EQ(NotePaper::current(), 2);
}

TEST_F(EditorTyping, TheZoomLabelFollowsButtonsAndTheWheel) {
    auto editor = open();
    editor->button("zoomIn")->click();
    EXPECT_EQ(editor->zoomText(), "125%");
    CanvasView* c = editor->canvas();
    const QPointF at = QRectF(c->rect()).center();
    QWheelEvent wheel(at, c->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(c, &wheel);
    EXPECT_EQ(editor->zoomText(), "150%");
}

TEST_F(EditorTyping, CaptureAnotherScreenFromTheMiniPanelCapturesAtOnce) {
    auto editor = open(CaptureStyle::MiniPanel);
    auto* add = editor->button("addButton");
    ASSERT_NE(add, nullptr);
    auto* menu = add->findChild<QMenu*>("addMenu");
    ASSERT_NE(menu, nullptr);
    menu->actions().first()->trigger();
    EXPECT_EQ(captures, 1);
    EXPECT_TRUE(editor->isVisible()) << "the mini panel stays; the grab leaves it out";
}

TEST_F(EditorTyping, EveryMiniPanelPresetShowsEveryControlWholeAndTheBoxNamesTheNearest) {
    auto editor = open(CaptureStyle::MiniPanel, QSize(1600, 900));
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(editor->geometry().center().x() - work.center().x()), 2) << "opens centred";
    for (int i = 0; i < EditorWindowController::sizePresets().size(); ++i) {
        auto* box = editor->findChild<QComboBox*>("sizeBox");
        ASSERT_NE(box, nullptr);
        Q_EMIT box->activated(i);
        const QString preset = EditorWindowController::sizePresets().at(i).title;
        // On a small screen the larger presets come to the same size; any of them will do.
        const auto widthOf = [&](int preset) {
            const int w = EditorWindowController::sizePresets().at(preset).pictureWidth;
            return w <= 0 ? work.width() - 24 : std::min(w, work.width() - 24);
        };
        EXPECT_EQ(widthOf(box->currentIndex()), widthOf(i)) << preset.toStdString();
        EXPECT_EQ(editor->width(), widthOf(i)) << preset.toStdString();
        QList<QRect> taken;
        for (QWidget* panel : {editor->toolbarPanel(), editor->footerPanel()}) {
            EXPECT_TRUE(editor->rect().contains(panel->geometry())) << preset.toStdString();
            for (QWidget* w : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!w->isVisible() || qobject_cast<QSizeGrip*>(w)) continue;
                const QRect at(w->mapTo(editor.get(), QPoint(0, 0)), w->size());
                EXPECT_GE(w->width(), w->sizeHint().width())
                    << preset.toStdString() << " cuts " << w->objectName().toStdString();
                EXPECT_TRUE(panel->geometry().contains(at)) << preset.toStdString();
                for (const QRect& other : taken)
                    EXPECT_FALSE(at.intersects(other)) << preset.toStdString() << ": controls overlap";
                taken.append(at);
            }
        }
    }
    editor->resize(560, 500);
    EXPECT_EQ(editor->sizeChoice(), "Small") << "a size made by hand shows the nearest preset";
}

TEST_F(EditorTyping, TheMiniPanelMovesWithItsToolbarsBackground) {
    auto editor = open(CaptureStyle::MiniPanel);
    QWidget* bar = editor->toolbarPanel();
    const QPoint before = editor->pos();
    const QPoint grab(bar->width() - 4, bar->height() - 4); // a corner with no control
    ASSERT_EQ(bar->childAt(grab), nullptr);
    QTest::mousePress(bar, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, grab + QPoint(40, 30), bar->mapToGlobal(grab + QPoint(40, 30)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grab + QPoint(40, 30));
    EXPECT_EQ(editor->pos(), before + QPoint(40, 30));
}

TEST_F(EditorTyping, OnScreenThePictureLiesOverItsScreenAtItsOwnSizeUnderFloatingPanels) {
    auto editor = open(CaptureStyle::OnScreen, screen().size());
    EXPECT_EQ(editor->geometry(), screen());
    CanvasView* c = editor->canvas();
    EXPECT_EQ(c->geometry(), editor->rect());
    EXPECT_EQ(c->imageToView().map(QPointF(100, 100)), QPointF(100, 100))
        << "one picture pixel per screen pixel";
    for (QWidget* panel : {editor->toolbarPanel(), editor->notesPanel(), editor->footerPanel()}) {
        EXPECT_TRUE(panel->isVisible());
        EXPECT_TRUE(editor->rect().contains(panel->geometry()));
    }
    EXPECT_FALSE(editor->toolbarPanel()->geometry().intersects(editor->footerPanel()->geometry()));
}

TEST_F(EditorTyping, ADoublePressSendsOrCopiesOnce) {
    auto editor = open();
    editor->canvas()->add({mark({10, 10, 50, 40})});
    QSignalSpy saved(editor.get(), &EditorWindowController::saved);
    editor->copy();
    editor->copy();
    QTest::keyClick(editor.get(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(saved.wait(10000));
    QTest::qWait(300);
    EXPECT_EQ(saved.size(), 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(CaptureStore::all().size(), 1);
}

} // namespace

// Dictation through the fake speech stream: the microphone of a mark's row writes what is
// heard after the note's own words, any key stops it, and "Speak a comment" dictates into
// the selected mark.
TEST_F(EditorTyping, TheMicrophoneOfARowDictatesIntoThatNoteUntilAKeyIsPressed) {
    auto editor = openWithThreeMarks();
    editor->moveTypingTo(2);
    ASSERT_TRUE(editor->noteFieldFor(2));
    QTest::keyClicks(editor->noteFieldFor(2), "Press ");
    QWidget* row = editor->noteFieldFor(2)->parentWidget();
    auto* mic = row->findChild<QToolButton*>("microphone", Qt::FindDirectChildrenOnly);
    ASSERT_TRUE(mic);
    mic->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->dictation()->isListening(); }, 2000));
    EXPECT_TRUE(mic->isChecked()) << "the row shows that it listens";
    ASSERT_FALSE(platform.speech->tasks.isEmpty());
    platform.speech->tasks.last()->say(QStringLiteral("the blue button"), false);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return editor->canvas()->markup().boxes[2].note == "Press the blue button"; }, 2000));
    EXPECT_EQ(editor->noteFieldFor(2)->text(), "Press the blue button");

    QTest::keyClick(editor->noteFieldFor(2), Qt::Key_A);
    EXPECT_FALSE(editor->dictation()->isListening()) << "any key stops dictation";
    EXPECT_FALSE(mic->isChecked());
    EXPECT_EQ(editor->canvas()->markup().boxes[2].note, "Press the blue button")
        << "and the key is not typed";

    editor->moveTypingTo(std::nullopt);
    editor->canvas()->select(0);
    editor->perform(EditorShortcut::Speak);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->dictation()->isListening(); }, 2000));
    platform.speech->tasks.last()->say(QStringLiteral("open it"), true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->canvas()->markup().boxes[0].note == "open it"; }, 2000));
    editor->perform(EditorShortcut::Speak);
    EXPECT_FALSE(editor->dictation()->isListening()) << "Speak again stops";
}
