#include "editor/CanvasView.h"
#include "EditorTestSupport.h"
#include "markup/MarkupRender.h"

#include <QApplication>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace ombrel;
using namespace ombrel::test;

namespace {

Markup markupOf(QList<Markup::Box> boxes = {}, QImage image = plainPicture(Qt::white, QSize(800, 600))) {
    Markup markup(image, std::nullopt, Qt::red);
    markup.boxes = std::move(boxes);
    return markup;
}

// A canvas shown at a fixed size, driven with the mouse at image points.
struct Canvas {
    explicit Canvas(Markup markup, QSize size = {640, 480}) : view(std::move(markup)) {
        view.resize(size);
        view.show();
        view.onSelect = [this] { ++selects; };
        view.onCrop = [this] { ++crops; };
    }
    QPoint at(QPointF imagePoint) const { return view.imageToView().map(imagePoint).toPoint(); }
    void press(QPointF p) { QTest::mousePress(&view, Qt::LeftButton, {}, at(p)); }
    void moveTo(QPointF p) { QTest::mouseMove(&view, at(p)); }
    void release(QPointF p) { QTest::mouseRelease(&view, Qt::LeftButton, {}, at(p)); }
    void drag(QPointF from, QPointF to) {
        press(from);
        moveTo((from + to) / 2);
        moveTo(to);
        release(to);
    }
    void click(QPointF p) { drag(p, p); }
    // A plain pointer move with no button down.
    void hover(QPointF p) {
        QMouseEvent move(QEvent::MouseMove, at(p), view.mapToGlobal(at(p)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
    }
    // A wheel turn at a view point; answers whether the canvas took it rather than leaving it
    // to the enclosing view.
    bool wheel(QPoint pixels, QPoint angle = {}, Qt::KeyboardModifiers keys = {}, QPointF at = {320, 240}) {
        QWheelEvent e(at, view.mapToGlobal(at), pixels, angle, Qt::NoButton, keys, Qt::NoScrollPhase, false);
        e.setAccepted(false);
        QApplication::sendEvent(&view, &e);
        return e.isAccepted();
    }
    void pinch(double by, QPointF at = {320, 240}) {
        QNativeGestureEvent e(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, at, at,
                              view.mapToGlobal(at), by, QPointF(), 1);
        QApplication::sendEvent(&view, &e);
    }
    // The image rectangle a drag between two image points really makes, after the view's rounding.
    QRectF dragged(QPointF from, QPointF to) const {
        return QRectF(view.imagePoint(at(from)), view.imagePoint(at(to))).normalized();
    }

    CanvasView view;
    int selects = 0;
    int crops = 0;
};

void expectNear(QPointF a, QPointF b, double tolerance = 1e-6) {
    EXPECT_NEAR(a.x(), b.x(), tolerance);
    EXPECT_NEAR(a.y(), b.y(), tolerance);
}

} // namespace

// MARK: Element names

// The names the Select tool gives the boxes it draws and shows while hovering.
TEST(ScreenElementNames, LabelsQuoteTitlesByKindCutLongOnesAndHoverFallsBackToTheKind) {
    using Kind = ScreenElement::Kind;
    const auto quoted = [](const QString& s) { return QChar(0x201C) + s + QChar(0x201D); };
    const QString sixty(60, QLatin1Char('a')), sixtyOne(61, QLatin1Char('b'));
    const QString cut = QString(57, QLatin1Char('b')) + QChar(0x2026);
    struct Row {
        Kind kind;
        QString title, label, hover;
    };
    for (const Row& r :
         {Row{Kind::Button, "Save", "Button " + quoted("Save"), "Button " + quoted("Save")},
          Row{Kind::Field, "Email", "Field " + quoted("Email"), "Field " + quoted("Email")},
          Row{Kind::Text, sixty, quoted(sixty), quoted(sixty)},
          Row{Kind::Text, sixtyOne, quoted(cut), quoted(cut)}, Row{Kind::Button, "", "", "Button"},
          Row{Kind::Image, "Logo", "", "Image"}, Row{Kind::Section, "Sidebar", "", "Section"}}) {
        const ScreenElement e{r.kind, r.title, {}};
        EXPECT_EQ(e.label(), r.label) << r.title.toStdString();
        EXPECT_EQ(e.hoverName(), r.hover) << r.title.toStdString();
    }
}

// MARK: Coordinates and zoom

using CanvasCoordinates = LibraryTest;

TEST_F(CanvasCoordinates, AtZoomOneThePictureIsFittedAndCentred) {
    Canvas c(markupOf({}, plainPicture(Qt::white, QSize(800, 400))), {1000, 1000});
    const QRectF shown = c.view.shownImageRect();
    const QRectF inView = c.view.imageToView().mapRect(shown);
    // Fitted to the width, centred in height.
    EXPECT_NEAR(inView.left(), 0, 1e-6);
    EXPECT_NEAR(inView.right(), 1000, 1e-6);
    EXPECT_NEAR(inView.center().y(), 500, 1e-6);
    expectNear(c.view.imagePoint(c.view.imageToView().map(QPointF(123, 45))), QPointF(123, 45));
}

TEST_F(CanvasCoordinates, ZoomStaysBetweenOneAndEightAndKeepsThePointUnderThePointer) {
    Canvas c(markupOf());
    c.view.setZoom(0.3);
    EXPECT_DOUBLE_EQ(c.view.zoom(), 1.0);
    c.view.setZoom(40);
    EXPECT_DOUBLE_EQ(c.view.zoom(), CanvasView::maxZoom);
    c.view.setZoom(-2);
    EXPECT_DOUBLE_EQ(c.view.zoom(), 1.0);

    const QTransform fitted = c.view.imageToView();
    const QPointF pointer(200, 150);
    const QPointF under = c.view.imagePoint(pointer);
    c.view.setZoom(3, pointer);
    expectNear(c.view.imagePoint(pointer), under, 1e-6);
    c.pinch(0.5, pointer);
    EXPECT_DOUBLE_EQ(c.view.zoom(), 4.5);
    expectNear(c.view.imagePoint(pointer), under, 1e-6);
    c.view.setZoom(1);
    EXPECT_EQ(c.view.imageToView(), fitted) << "zoom one fits the picture again";

    // Ctrl+wheel and pinches go through the same limits.
    for (int i = 0; i < 30; ++i)
        c.wheel({}, QPoint(0, 120), Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(c.view.zoom(), CanvasView::maxZoom);
    c.pinch(-0.99);
    EXPECT_DOUBLE_EQ(c.view.zoom(), 1.0);
}

TEST_F(CanvasCoordinates, ScrollingPansOnlyWhileZoomed) {
    Canvas c(markupOf());
    EXPECT_FALSE(c.wheel(QPoint(0, -40))) << "at zoom 1 the enclosing view scrolls";

    c.view.setZoom(4);
    const QPointF centre(320, 240);
    const QPointF before = c.view.imagePoint(centre);
    const double scale = c.view.imageToView().m11();
    EXPECT_TRUE(c.wheel(QPoint(0, -40)));
    expectNear(c.view.imagePoint(centre), before + QPointF(0, 40 / scale), 1e-6);
    // The focus stops where the picture's edge meets the view's edge.
    for (int i = 0; i < 100; ++i)
        c.wheel(QPoint(-200, -200));
    expectNear(c.view.imageToView().map(QPointF(800, 600)), QPointF(640, 480), 1e-6);
}

// MARK: Drawing gestures

using CanvasGestures = LibraryTest;

TEST_F(CanvasGestures, ADragOfEightPixelsOrMoreMakesABoxAndASmallerOneIsAClick) {
    Canvas c(markupOf({mark({100, 100, 200, 200})}), {800, 600});
    ASSERT_DOUBLE_EQ(c.view.imageToView().m11(), 1.0) << "one view pixel per image pixel here";

    c.drag({150, 150}, {157, 300}); // 7 pixels wide
    EXPECT_EQ(c.view.markup().boxes.size(), 1);
    EXPECT_EQ(c.view.selected(), 0) << "the click selects the box under it";
    c.drag({500, 100}, {700, 107}); // 7 pixels high, on nothing
    EXPECT_EQ(c.view.markup().boxes.size(), 1);
    EXPECT_EQ(c.view.selected(), std::nullopt);

    c.drag({520, 300}, {512, 292}); // exactly 8 × 8, dragged up and left
    ASSERT_EQ(c.view.markup().boxes.size(), 2);
    EXPECT_EQ(c.view.markup().boxes[1], mark(c.dragged({512, 292}, {520, 300})));
    EXPECT_FALSE(c.view.markup().boxes[1].hides);
    EXPECT_EQ(c.view.selected(), 1);
    EXPECT_EQ(c.view.undoCount(), 1);
    EXPECT_GE(c.selects, 3);
}

TEST_F(CanvasGestures, AClickInsideNestedBoxesSelectsTheSmallestAndTheFirstOnATie) {
    Canvas c(markupOf({mark({50, 50, 500, 400}), mark({100, 100, 100, 100}), mark({300, 100, 100, 100}),
                       mark({300, 100, 100, 100})}));
    c.click({150, 150});
    EXPECT_EQ(c.view.selected(), 1);
    c.click({60, 60});
    EXPECT_EQ(c.view.selected(), 0);
    c.click({350, 150});
    EXPECT_EQ(c.view.selected(), 2);
    EXPECT_EQ(c.view.markup().boxes.size(), 4) << "clicks add nothing";
}

TEST_F(CanvasGestures, TheBlurToolAddsHidingBoxesAndPreviewsThemWhileDragging) {
    Canvas c(markupOf());
    c.view.setTool(CanvasView::Tool::Hide);
    const QImage before = c.view.grab().toImage();
    c.press({100, 100});
    c.moveTo({300, 250});
    const QImage during = c.view.grab().toImage();
    EXPECT_NE(during, before) << "the box being dragged is painted";
    c.release({300, 250});
    ASSERT_EQ(c.view.markup().boxes.size(), 1);
    EXPECT_TRUE(c.view.markup().boxes[0].hides);
    EXPECT_EQ(c.view.markup().boxes[0].imageRect, c.dragged({100, 100}, {300, 250}));
    EXPECT_EQ(c.view.grab().toImage(), during) << "the preview looks like the result";
}

TEST_F(CanvasGestures, CropSetsTheCropGoesBackToMarkAndTellsTheEditor) {
    Canvas c(markupOf({mark({10, 10, 50, 50})}));
    c.view.setTool(CanvasView::Tool::Crop);
    c.drag({100, 80}, {500, 400});
    ASSERT_TRUE(c.view.markup().cropImageRect.has_value());
    EXPECT_EQ(*c.view.markup().cropImageRect, c.dragged({100, 80}, {500, 400}));
    EXPECT_EQ(c.view.tool(), CanvasView::Tool::Mark);
    EXPECT_EQ(c.crops, 1);
    EXPECT_EQ(c.view.markup().boxes.size(), 1) << "a crop adds no box";
    EXPECT_EQ(c.view.shownImageRect().topLeft(), c.view.markup().cropImageRect->topLeft()) << "the kept part";
    EXPECT_DOUBLE_EQ(c.view.shownImageRect().width(), c.view.markup().cropImageRect->width());
    c.view.undo();
    EXPECT_FALSE(c.view.markup().cropImageRect.has_value());

    // A crop dragged past the picture stops at its edge; a small one is a click.
    c.view.setFillsScreen(true);
    c.view.setTool(CanvasView::Tool::Crop);
    c.drag({400, 300}, {900, 700});
    EXPECT_EQ(c.view.markup().cropImageRect.value_or(QRectF()).bottomRight(), QPointF(800, 600));
    EXPECT_EQ(c.view.shownImageRect(), QRectF(0, 0, 800, 600))
        << "the frozen screen shows it all, crop or not";
    c.view.setTool(CanvasView::Tool::Crop);
    c.drag({100, 100}, {104, 200});
    EXPECT_EQ(c.crops, 2);

    // Off the frozen screen only the kept part is on show, and a new crop stays inside it.
    c.view.setFillsScreen(false);
    c.view.setCrop({200, 100, 400, 300});
    c.view.setTool(CanvasView::Tool::Crop);
    c.drag({300, 200}, {700, 500});
    EXPECT_EQ(c.view.markup().cropImageRect.value_or(QRectF()).bottomRight(), QPointF(600, 400));
}

// MARK: The Select tool

using CanvasSelectTool = LibraryTest;

TEST_F(CanvasSelectTool, DraggingDrawsNothingAndAClickOnNothingClearsTheSelection) {
    Canvas c(markupOf({mark({400, 300, 100, 100})}));
    c.view.elements = {{ScreenElement::Kind::Button, "Far", {600, 20, 80, 30}}};
    c.view.setTool(CanvasView::Tool::Select);
    const QImage before = c.view.grab().toImage();
    c.press({50, 50});
    c.moveTo({300, 250});
    EXPECT_EQ(c.view.grab().toImage(), before);
    c.release({300, 250});
    EXPECT_EQ(c.view.markup().boxes.size(), 1);
    EXPECT_FALSE(c.view.canUndo());

    c.click({450, 350});
    EXPECT_EQ(c.view.selected(), 0);
    c.click({50, 50});
    EXPECT_EQ(c.view.selected(), std::nullopt);
    EXPECT_EQ(c.view.markup().boxes.size(), 1);
}

TEST_F(CanvasSelectTool, AClickOnAnElementBoxesTheSmallestOneWithItsLabel) {
    Canvas c(markupOf());
    c.view.elements = {{ScreenElement::Kind::Section, "Form", {50, 50, 400, 300}},
                       {ScreenElement::Kind::Button, "Login", {100, 100, 120, 40}},
                       {ScreenElement::Kind::Image, "Logo", {300, 100, 60, 60}}};
    c.view.setTool(CanvasView::Tool::Select);
    c.click({150, 120});
    ASSERT_EQ(c.view.markup().boxes.size(), 1);
    const Markup::Box& box = c.view.markup().boxes[0];
    EXPECT_EQ(box.imageRect, QRectF(100, 100, 120, 40));
    EXPECT_EQ(box.element, QString("Button ") + QChar(0x201C) + "Login" + QChar(0x201D));
    EXPECT_FALSE(box.hides);
    EXPECT_EQ(c.view.selected(), 0);

    // Clicking the new box selects it rather than boxing the element again.
    c.click({150, 120});
    EXPECT_EQ(c.view.markup().boxes.size(), 1);
    // An element without a label still gets a box, unnamed.
    c.click({320, 120});
    ASSERT_EQ(c.view.markup().boxes.size(), 2);
    EXPECT_EQ(c.view.markup().boxes[1].element, std::nullopt);
    EXPECT_EQ(c.view.selected(), 1);
}

TEST_F(CanvasSelectTool, HoveringShowsTheElementUnlessABoxIsUnderThePointer) {
    Canvas c(markupOf({mark({300, 300, 100, 100})}));
    const ScreenElement link{ScreenElement::Kind::Link, "Docs", {250, 250, 300, 200}};
    c.view.elements = {link};
    c.hover({260, 260});
    EXPECT_EQ(c.view.hoveredElement(), std::nullopt) << "only the Select tool hovers";

    c.view.setTool(CanvasView::Tool::Select);
    const QImage plain = c.view.grab().toImage();
    c.hover({260, 260});
    EXPECT_EQ(c.view.hoveredElement(), link);
    EXPECT_NE(c.view.grab().toImage(), plain);
    c.hover({350, 350}); // inside the mark
    EXPECT_EQ(c.view.hoveredElement(), std::nullopt);
    c.hover({550, 300}); // the right edge is outside the element
    EXPECT_EQ(c.view.hoveredElement(), std::nullopt);
    c.hover({260, 260});
    c.view.setTool(CanvasView::Tool::Mark);
    EXPECT_EQ(c.view.hoveredElement(), std::nullopt);
}

// MARK: Model changes and history

using CanvasHistory = LibraryTest;

TEST_F(CanvasHistory, UndoAndRedoWalkEveryChangeBothWays) {
    Canvas c(markupOf());
    EXPECT_FALSE(c.view.canUndo());
    c.view.undo(); // nothing to undo: no change, no call
    EXPECT_EQ(c.selects, 0);

    c.view.add({});
    EXPECT_FALSE(c.view.canUndo()) << "adding nothing is no step";
    c.view.add({mark({400, 300, 50, 50}, "b"), mark({10, 10, 50, 50}, "a")});
    c.view.add({blur({200, 200, 40, 40})});
    c.view.organise();
    c.view.remove(0);
    c.view.setCrop({0, 0, 400, 300});
    c.view.clearMarks();
    EXPECT_EQ(c.view.undoCount(), 6);

    QList<CanvasView::Snapshot> states;
    for (int i = 0; i < 6; ++i) {
        states.prepend({c.view.markup().boxes, c.view.markup().cropImageRect});
        c.view.undo();
    }
    EXPECT_TRUE(c.view.markup().boxes.isEmpty());
    EXPECT_FALSE(c.view.canUndo());
    EXPECT_TRUE(c.view.canRedo());
    for (int i = 0; i < 6; ++i) {
        c.view.redo();
        EXPECT_EQ(c.view.markup().boxes, states[i].boxes) << "redo step " << i;
        EXPECT_EQ(c.view.markup().cropImageRect, states[i].cropImageRect) << "redo step " << i;
    }
    EXPECT_FALSE(c.view.canRedo());

    c.view.undo();
    c.view.undo();
    EXPECT_TRUE(c.view.canRedo());
    c.view.add({mark({1, 1, 20, 20})});
    EXPECT_FALSE(c.view.canRedo()) << "a new change forgets what was undone";
}

TEST_F(CanvasHistory, BoxesComeBackWithTheNotesTypedOnThemEachItsOwnOnTheSameRectangle) {
    Canvas c(markupOf());
    const QList<Markup::Box>& boxes = c.view.markup().boxes;
    const QRectF same(100, 100, 80, 60);
    c.view.add({mark(same), mark(same)});
    // The editor types straight into the boxes, outside the history.
    c.view.markupForEditing().boxes[0].note = "first";
    c.view.markupForEditing().boxes[1].note = "second";
    c.view.add({mark({400, 400, 20, 20})});
    c.view.undo();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].note, "first");
    EXPECT_EQ(boxes[1].note, "second");
    // A removed box comes back with the note it had.
    c.view.remove(1);
    c.view.undo();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[1].note, "second");
    // Organised, the two change places; undo and redo still leave each its own note.
    c.view.markupForEditing().boxes[0].imageRect = QRectF(300, 100, 80, 60);
    c.view.organise();
    c.view.undo();
    c.view.redo();
    EXPECT_EQ(boxes[0].note, "Second");
    EXPECT_EQ(boxes[1].note, "First");
    // A box moved since the step keeps its note although its rectangle changed.
    c.view.remove(0);
    c.view.markupForEditing().boxes[0].note = "typed after removing";
    c.view.markupForEditing().boxes[0].imageRect = QRectF(320, 120, 80, 60);
    c.view.undo();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[1].note, "typed after removing");
    // Undone down to no boxes, a redo brings back the notes its step saw.
    c.view.undo();
    c.view.undo();
    ASSERT_TRUE(boxes.isEmpty());
    c.view.redo();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].note, "typed after removing");
}

TEST_F(CanvasHistory, RemoveAndUndoSelectTheLastNumberedMarkAndAnInvalidIndexIsNoStep) {
    Canvas c(markupOf(
        {mark({10, 10, 50, 50}), mark({100, 10, 50, 50}), blur({200, 10, 50, 50}), mark({300, 10, 50, 50})}));
    c.view.remove(3);
    EXPECT_EQ(c.view.selected(), 1) << "the blur box is not a numbered mark";
    EXPECT_EQ(c.selects, 1);
    c.view.remove(0);
    c.view.remove(0);
    ASSERT_EQ(c.view.markup().boxes.size(), 1);
    EXPECT_EQ(c.view.selected(), std::nullopt) << "only a blur box is left";

    const int steps = c.view.undoCount();
    c.view.remove(5);
    c.view.remove(-1);
    EXPECT_EQ(c.view.undoCount(), steps) << "an invalid index changes nothing";
    EXPECT_EQ(c.view.markup().boxes.size(), 1);

    c.view.undo();
    c.view.undo();
    c.view.clearMarks();
    EXPECT_EQ(c.view.selected(), std::nullopt);
    c.view.undo();
    EXPECT_EQ(c.view.selected(), 1) << "the restored boxes' last numbered mark";
}

TEST_F(CanvasHistory, OrganiseAndClearDropTheSelectionAndEmptyOnesAreNoSteps) {
    Canvas c(markupOf());
    c.view.organise();
    c.view.clearMarks();
    EXPECT_FALSE(c.view.canUndo());
    c.view.add({mark({400, 10, 50, 50}, "right"), mark({10, 10, 50, 50}, "left")});
    c.view.organise();
    EXPECT_EQ(c.view.markup().boxes, c.view.markup().organisedBoxes());
    EXPECT_EQ(c.view.markup().boxes[0].note, "Left");
    EXPECT_EQ(c.view.selected(), std::nullopt);
    c.view.applyColor(Qt::blue);
    EXPECT_EQ(c.view.markup().color, QColor(Qt::blue));
    EXPECT_EQ(c.view.undoCount(), 2) << "colour is not a step";
}

// MARK: Notes on the canvas

using CanvasNotes = LibraryTest;

TEST_F(CanvasNotes, TheFieldSitsOnTheNoteAndReportsTyping) {
    NoteLooks::setCurrent(NoteLook::Sticky);
    Canvas c(markupOf({mark({100, 100, 100, 80}, "Old")}), {800, 600});
    QString typed;
    c.view.onNoteTyped = [&](qsizetype index, const QString& text) {
        EXPECT_EQ(index, 0);
        typed = text;
    };
    int returns = 0;
    c.view.onNoteReturn = [&] { ++returns; };

    c.view.setEditingNote(0);
    NoteField* field = c.view.noteField();
    ASSERT_TRUE(field->isVisible());
    EXPECT_EQ(field->text(), "Old");
    EXPECT_TRUE(typed.isNull()) << "showing the note is not typing";
    const auto typing = MarkupRender::noteTypingRect(c.view.markup(), 0);
    ASSERT_TRUE(typing.has_value());
    EXPECT_EQ(field->geometry().topLeft(), c.view.imageToView().mapRect(*typing).toAlignedRect().topLeft());

    // A long note wraps inside the field, as the note on the picture does, and never scrolls.
    QTest::keyClicks(field, QString(" and then the green one").repeated(10));
    EXPECT_EQ(typed, field->text()) << "every keystroke is reported";
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(returns, 1);
    EXPECT_EQ(field->document()->blockCount(), 1) << "one paragraph";
    EXPECT_GT(field->document()->lineCount(), 1) << "wrapped over lines";
    EXPECT_EQ(field->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(field->verticalScrollBar()->value(), 0);

    c.view.setEditingNote(std::nullopt);
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(c.view.editingNote(), std::nullopt);
    // The list look types in the list under the picture, not on it.
    NoteLooks::setCurrent(NoteLook::List);
    c.view.setEditingNote(0);
    EXPECT_FALSE(field->isVisible());
}

TEST_F(CanvasNotes, DraggingANoteMovesItAndSelectsItsBox) {
    NoteLooks::setCurrent(NoteLook::Glass);
    Canvas c(markupOf({mark({100, 100, 100, 80}, "Move me"), mark({500, 400, 60, 60})}), {800, 600});
    const auto frames = MarkupRender::noteFrames(c.view.markup());
    ASSERT_EQ(frames.size(), 1u);
    const QRectF frame = frames.front().imageRect;
    const QPointF grab = frame.topLeft() + QPointF(10, 10);

    c.drag(grab, grab + QPointF(40, 120));
    const Markup::Box& box = c.view.markup().boxes[0];
    ASSERT_TRUE(box.notePosition.has_value());
    const QPointF moved =
        c.view.imagePoint(c.at(grab + QPointF(40, 120))) - (c.view.imagePoint(c.at(grab)) - frame.topLeft());
    expectNear(*box.notePosition, moved);
    EXPECT_EQ(c.view.selected(), 0);
    EXPECT_EQ(c.view.markup().boxes.size(), 2) << "a note drag draws no box";
}

// MARK: A look at the canvas

TEST_F(CanvasNotes, RendersThePictureItsMarksAndItsBlur) {
    NoteLooks::setCurrent(NoteLook::Sticky);
    // Black and white columns two pixels wide: a blur turns them grey.
    QImage stripes = plainPicture(Qt::white, QSize(800, 600));
    for (int x = 0; x < stripes.width(); x += 4)
        for (int y = 0; y < stripes.height(); ++y)
            stripes.setPixelColor(x, y, Qt::black), stripes.setPixelColor(x + 1, y, Qt::black);
    Markup markup(stripes); // with its blurred copy
    markup.boxes = {mark({60, 60, 220, 120}, "The title is cut off"), mark({420, 260, 160, 90}),
                    blur({100, 400, 200, 60})};
    markup.comment = "Why does the layout break?";
    Canvas c(markup, {900, 700});
    c.view.select(1);
    const QImage shot = c.view.grab().toImage();
    const QString out = qEnvironmentVariable("OMBREL_CANVAS_PNG");
    if (!out.isEmpty()) shot.save(out);
    const qreal scale = shot.devicePixelRatio();
    auto colourAt = [&](QPointF imagePoint) {
        return shot.pixelColor((QPointF(c.at(imagePoint)) * scale).toPoint());
    };
    auto reddish = [](QColor p) { return p.red() > 150 && p.green() < 110 && p.blue() < 110; };
    auto redNear = [&](QPointF imagePoint) {
        for (int d = -4; d <= 4; ++d)
            if (reddish(colourAt(imagePoint + QPointF(d, 0))) ||
                reddish(colourAt(imagePoint + QPointF(0, d))))
                return true;
        return false;
    };
    EXPECT_LT(QColor(shot.pixel(0, 0)).lightness(), 200) << "the view's corners are the dark backdrop";
    int darkest = 255, lightest = 0;
    for (int x = 640; x < 650; ++x) {
        darkest = std::min(darkest, colourAt({x + 0.5, 150.5}).lightness());
        lightest = std::max(lightest, colourAt({x + 0.5, 150.5}).lightness());
    }
    EXPECT_TRUE(darkest < 60 && lightest > 180) << "the picture itself, its stripes sharp";
    EXPECT_TRUE(redNear({60, 120}) && redNear({280, 120})) << "the first mark's outline";
    EXPECT_TRUE(redNear({500, 260}) && redNear({500, 350})) << "the selected mark's outline";
    EXPECT_FALSE(reddish(colourAt({500, 305}))) << "a mark is an outline, not a filled box";
    int grey = 0;
    for (int x = 150; x < 250; ++x) {
        const QColor p = colourAt({x + 0.5, 430.5});
        grey += p.lightness() > 40 && p.lightness() < 210 ? 1 : 0;
    }
    EXPECT_GT(grey, 80) << "the stripes under the blur box are blurred";
}
