#include "EditorTestSupport.h"
#include "library/CaptureStore.h"
#include "markup/MarkStore.h"
#include "platform/Defaults.h"
#include "sending/ShareMenu.h"
#include "ui/Toast.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>

using namespace ombrel;
using namespace ombrel::test;

using EditorWindowTest = EditorTest;

TEST_F(EditorWindowTest, TheNotesListFollowsTheMarksAndTypingWritesTheNote) {
    auto editor = open();
    editor->canvas()->add(
        {mark(QRectF(10, 10, 50, 40)), blur(QRectF(80, 80, 30, 30)), mark(QRectF(200, 100, 60, 40))});
    EXPECT_NE(editor->noteFieldFor(0), nullptr);
    EXPECT_EQ(editor->noteFieldFor(1), nullptr) << "a blur box has no note row";
    NoteField* second = editor->noteFieldFor(2);
    ASSERT_NE(second, nullptr);
    QTest::keyClicks(second, "the login button");
    EXPECT_EQ(editor->canvas()->markup().boxes.at(2).note, "the login button");
    QTest::keyClicks(editor->commentField(), "whole page");
    EXPECT_EQ(editor->canvas()->markup().comment, "whole page");
}

TEST_F(EditorWindowTest, ClosingKeepsMarkedPagesWithTheirMarksAndSkipsUnmarkedOnes) {
    auto editor = open();
    editor->receiveCapture(plainPicture(Qt::gray));
    ASSERT_EQ(editor->pageCount(), 2);
    editor->showPage(0);
    editor->canvas()->add({mark(QRectF(10, 10, 50, 40), "broken")});
    editor->closeEditor();
    EXPECT_EQ(closes, 1);
    const QStringList files = waitForSave(*editor);
    ASSERT_EQ(files.size(), 1) << "the unmarked page is not written";
    EXPECT_EQ(QFileInfo(files.first()).absolutePath(), libraryPath(CaptureStore::dateFolderName()));
    const auto loaded = MarkStore::load(files.first());
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->saved.boxes.size(), 1);
    EXPECT_EQ(loaded->saved.boxes.first().note, "broken");
    EXPECT_EQ(loaded->unmarked.size(), QSize(400, 300));
    EXPECT_EQ(CaptureStore::search("broken"), QStringList{files.first()});
}

TEST_F(EditorWindowTest, ALibraryPictureOpensWithItsMarksAndIsSavedOverItsOwnFile) {
    auto first = open();
    first->canvas()->add({mark(QRectF(10, 10, 50, 40), "first note")});
    first->closeEditor();
    const QString file = waitForSave(*first).value(0);
    ASSERT_FALSE(file.isEmpty());
    const auto loaded = MarkStore::load(file);
    ASSERT_TRUE(loaded.has_value());

    auto again = open(loaded->unmarked);
    again->restoreMarks(loaded->saved, file);
    EXPECT_EQ(again->canvas()->markup().boxes.first().note, "first note");
    again->canvas()->add({mark(QRectF(100, 100, 40, 40), "second note")});
    again->closeEditor();
    EXPECT_EQ(waitForSave(*again), QStringList{file}) << "saved again over the same file";
    EXPECT_EQ(CaptureStore::all().size(), 1);
    EXPECT_EQ(MarkStore::load(file)->saved.boxes.size(), 2);
}

TEST_F(EditorWindowTest, CopyPutsTheFinishedPictureOrEveryPageOnTheClipboardAndSaysSo) {
    {
        auto editor = open();
        editor->canvas()->add({mark(QRectF(10, 10, 50, 40))});
        editor->copy();
        const QStringList files = waitForSave(*editor);
        ASSERT_EQ(files.size(), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1; }, 5000));
        const QImage copied = QImage::fromData(platform.pasteboard->pngData, "PNG");
        EXPECT_EQ(copied, QImage(files[0])) << "the picture kept in the library, marks drawn in";
        EXPECT_EQ(copied.size(), QSize(400, 300));
        EXPECT_NE(copied.pixelColor(10, 30), QColor(Qt::white)) << "the mark is drawn on it";
        EXPECT_EQ(Toast::currentText(), "Copied. Paste it anywhere.");
    }
    auto editor = open();
    editor->receiveCapture(plainPicture(Qt::gray));
    editor->receiveCapture(plainPicture(Qt::black));
    editor->copy();
    ASSERT_NE(SendChoiceWindow::current(), nullptr) << "three pages: this one or all?";
    SendChoiceWindow::current()->choose(true);
    const QStringList files = waitForSave(*editor);
    EXPECT_EQ(files.size(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 2; }, 5000));
    QList<QUrl> urls;
    for (const QString& f : files)
        urls.append(QUrl::fromLocalFile(f));
    EXPECT_EQ(platform.pasteboard->fileList, urls) << "the saved pages, in order";
    EXPECT_EQ(Toast::currentText(), "Copied 3 pictures. Paste them anywhere.");
}

TEST_F(EditorWindowTest, ShareSavesTheChosenPagesClosesAndPopsUpTheShareMenuForThem) {
    auto editor = open();
    editor->receiveCapture(plainPicture(Qt::gray));
    editor->button("Share")->click();
    ASSERT_NE(SendChoiceWindow::current(), nullptr) << "two pages: this one or all?";
    SendChoiceWindow::current()->choose(true);
    const QStringList files = waitForSave(*editor);
    ASSERT_EQ(files.size(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1 && ShareMenu::current(); }, 5000));
    EXPECT_EQ(ShareMenu::filesOf(ShareMenu::current()), files);
    EXPECT_EQ(ShareMenu::current()->actions().first()->text(), "Share all 2");
    ShareMenu::current()->hide();
}

TEST_F(EditorWindowTest, ARemovedPageComesBackWithUndoUnlessTheShownPageChangedSince) {
    auto editor = open();
    editor->removeCurrentPage();
    EXPECT_EQ(editor->pageCount(), 1) << "the only page can't be removed";
    editor->receiveCapture(plainPicture(Qt::gray));
    editor->removeCurrentPage();
    EXPECT_EQ(editor->pageCount(), 1);
    editor->undo();
    EXPECT_EQ(editor->pageCount(), 2);
    EXPECT_EQ(editor->currentIndex(), 1);

    editor->removeCurrentPage();
    editor->canvas()->add({mark(QRectF(10, 10, 50, 40))});
    editor->undo();
    EXPECT_EQ(editor->pageCount(), 1) << "the new mark is undone instead";
    EXPECT_TRUE(editor->canvas()->markup().boxes.isEmpty());
}

TEST_F(EditorWindowTest, EscapeClearsTheSelectionFirstThenClosesAndSaysWhereThePictureWent) {
    auto editor = open();
    editor->canvas()->add({mark(QRectF(10, 10, 50, 40))});
    ASSERT_TRUE(editor->canvas()->selected().has_value());
    editor->setFocus();
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_FALSE(editor->canvas()->selected().has_value());
    EXPECT_EQ(closes, 0);
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(Toast::currentText(), "Closed. Your marked picture is in Recent.");
    EXPECT_EQ(waitForSave(*editor).size(), 1);
}

TEST_F(EditorWindowTest, OnScreenTheEditorStepsAsideOnceForTheNextScreen) {
    auto mini = open(plainPicture(), CaptureStyle::MiniPanel);
    EXPECT_FALSE(mini->stepOutForNextScreen());
    auto editor = open(plainPicture(), CaptureStyle::OnScreen);
    EXPECT_TRUE(editor->stepOutForNextScreen());
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(editor->button("addButton")->text(), "Capture Now");
    EXPECT_FALSE(editor->stepOutForNextScreen()) << "already waiting";
    editor->receiveCapture(plainPicture(Qt::gray));
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->button("addButton")->text(), "Add");
}

TEST(EditorWindowSizes, PresetsKeepTheAspectAndStayInsideTheWorkArea) {
    const QRect work(0, 0, 1440, 900);
    EXPECT_EQ(EditorWindowController::presetWindowSize(800, QSize(1600, 1000), work, 200), QSize(800, 700));
    EXPECT_EQ(EditorWindowController::presetWindowSize(1500, QSize(1600, 1000), work, 200), QSize(1416, 872));
    EXPECT_EQ(EditorWindowController::presetWindowSize(0, QSize(1600, 1000), work, 200), QSize(1416, 876));
}

TEST_F(EditorWindowTest, HandingBackRetitlesSendSavesAndOpensOmbrelPrompts) {
    auto editor = open();
    editor->handBackToPrompts();
    EXPECT_EQ(editor->button("sendButton")->text(), "Add to Prompts");
    editor->canvas()->add({mark(QRectF(10, 10, 50, 40))});
    editor->sendToChat();
    EXPECT_EQ(waitForSave(*editor).size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1; }, 5000));
    EXPECT_EQ(platform.workspace->applications, QStringList{"com.ombrel.prompts"});
    EXPECT_EQ(Toast::currentText(), "Added to Ombrel Prompts.");
}

TEST_F(EditorWindowTest, WithSeveralPagesTheChoiceDecidesWhatIsSent) {
    auto editor = open();
    editor->receiveCapture(plainPicture(Qt::gray));
    editor->receiveCapture(plainPicture(Qt::black));
    editor->sendToChat();
    SendChoiceWindow* choice = SendChoiceWindow::current();
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(closes, 0) << "nothing happens before the choice";
    choice->choose(false);
    ASSERT_EQ(waitForSave(*editor).size(), 1) << "only the picture shown";
    ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1; }, 5000));
}

TEST_F(EditorWindowTest, MinimisingShowsTheSetAsAThumbnailThatFansOutAndReopensOnAPage) {
    auto editor = open();
    editor->minimise();
    ASSERT_NE(editor->minimizedThumb(), nullptr);
    EXPECT_FALSE(editor->isVisible());
    MinimizedThumbView* one = editor->minimizedThumb()->view();
    EXPECT_FALSE(one->toolTip().contains("pictures")) << "one picture is no set";
    one->setFannedOut(true);
    EXPECT_FALSE(one->isFannedOut()) << "one picture has nothing to fan out";
    QTest::mouseClick(one, Qt::LeftButton, {}, one->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->isVisible(); }, 2000));
    EXPECT_EQ(editor->minimizedThumb(), nullptr);

    editor->receiveCapture(plainPicture(Qt::gray));
    editor->receiveCapture(plainPicture(Qt::black));
    editor->showPage(0);
    editor->minimise();
    MinimizedThumbView* three = editor->minimizedThumb()->view();
    EXPECT_EQ(three->toolTip(), "3 pictures. Point to see them, and click one to open it.");
    const QSize stacked = editor->minimizedThumb()->size();
    three->setFannedOut(true);
    EXPECT_GT(editor->minimizedThumb()->width(), stacked.width()) << "the window follows the fan";
    const QList<QRect> cards = three->cardRects();
    ASSERT_EQ(cards.size(), 3);
    EXPECT_LT(cards[0].right(), cards[1].left());
    EXPECT_LT(cards[1].right(), cards[2].left());
    QTest::mouseClick(three, Qt::LeftButton, {}, cards[2].center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->isVisible(); }, 2000));
    EXPECT_EQ(editor->currentIndex(), 2) << "the clicked picture's page is shown";

    // Closed while minimised, the editor takes its thumbnail along and keeps the marked page.
    editor->canvas()->add({mark(QRectF(10, 10, 50, 40))});
    editor->minimise();
    ASSERT_NE(editor->minimizedThumb(), nullptr);
    editor->closeEditor();
    EXPECT_EQ(editor->minimizedThumb(), nullptr);
    EXPECT_EQ(waitForSave(*editor).size(), 1);
}

TEST_F(EditorWindowTest, AMiniPanelOpensBesideTheFloatingButtonsAndItsThumbnailWaitsUnderThem) {
    Defaults::store().setValue(EditorWindowController::sizeKey, "{300, 240}");
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize panel(56, 132);
    const struct {
        const char* where;
        QRect buttons;
        bool level; // else pulled up inside the screen
    } rows[] = {
        {"at the right edge", QRect(QPoint(work.right() - 80, work.top() + work.height() / 3), panel), true},
        {"at the left edge", QRect(QPoint(work.left() + 24, work.top() + work.height() / 3), panel), true},
        {"low at the right", QRect(QPoint(work.right() - 80, work.bottom() - 140), panel), false},
        {"hidden", QRect(), false},
    };
    for (const auto& row : rows) {
        QRect buttons = row.buttons;
        auto editor = std::make_unique<EditorWindowController>(plainPicture(), CaptureStyle::MiniPanel, work);
        editor->anchor = [&buttons] { return buttons; };
        editor->present();
        const QRect frame = editor->geometry();
        const int gap = EditorWindowController::anchorGap;
        if (buttons.isEmpty()) {
            EXPECT_LE((frame.center() - work.center()).manhattanLength(), 2) << row.where;
        } else {
            EXPECT_FALSE(frame.intersects(buttons)) << row.where;
            EXPECT_EQ(buttons.center().x() > work.center().x() ? buttons.left() - frame.right()
                                                               : frame.left() - buttons.right(),
                      gap + 1)
                << row.where;
            if (row.level)
                EXPECT_NEAR(frame.center().y(), buttons.center().y(), 1) << row.where;
            else
                EXPECT_EQ(frame.bottom(), work.bottom()) << row.where;
        }

        // Dragged away meanwhile: the thumbnail goes where the buttons are now, under them
        // (above when there is no room), flush with their outer edge, clear of the Recent
        // panel's place beside them.
        if (!buttons.isEmpty()) buttons.translate(0, -10);
        editor->minimise();
        ASSERT_NE(editor->minimizedThumb(), nullptr);
        const QRect thumb = editor->minimizedThumb()->geometry();
        if (buttons.isEmpty()) {
            EXPECT_EQ(thumb.bottomRight(), work.bottomRight() - QPoint(20, 20)) << row.where;
        } else {
            EXPECT_FALSE(thumb.intersects(buttons)) << row.where;
            const int gap = MinimizedThumb::anchorGap + 1;
            EXPECT_TRUE(thumb.top() - buttons.bottom() == gap || buttons.top() - thumb.bottom() == gap)
                << row.where << ": just under or above the buttons";
            EXPECT_EQ(buttons.center().x() > work.center().x() ? thumb.right() : thumb.left(),
                      buttons.center().x() > work.center().x() ? buttons.right() : buttons.left())
                << row.where;
        }
        editor->closeEditor();
    }
}

TEST_F(EditorWindowTest, PointingAtAPageChipShowsALargerPreviewAboveIt) {
    auto editor = open();
    editor->receiveCapture(plainPicture(Qt::gray, QSize(800, 600)));
    auto* chip = editor->findChild<QToolButton*>("pageChip2");
    ASSERT_NE(chip, nullptr);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(chip, &enter);
    ASSERT_NE(editor->chipPreview(), nullptr);
    EXPECT_TRUE(editor->chipPreview()->isVisible());
    EXPECT_GE(editor->chipPreview()->width(), ChipPreview::previewWidth);
    EXPECT_LT(editor->chipPreview()->y(), chip->mapToGlobal(QPoint(0, 0)).y()) << "above the chip";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(chip, &leave);
    EXPECT_FALSE(editor->chipPreview()->isVisible());
}

TEST_F(EditorWindowTest, AMiniPanelResizedByHandIsOpenedAtThatSizeNextTime) {
    const auto stored = [] { return Defaults::store().value(EditorWindowController::sizeKey).toString(); };
    {
        auto editor = open();
        editor->resize(700, 560);
        ASSERT_TRUE(QTest::qWaitFor([&] { return stored() == "{700, 560}"; }, 3000))
            << stored().toStdString();
        editor->closeEditor();
    }
    auto next = open();
    EXPECT_EQ(next->size(), QSize(700, 560));
    // The full-screen style says nothing about the panel's size.
    auto onScreen = open(plainPicture(), CaptureStyle::OnScreen);
    onScreen->resize(900, 700);
    QTest::qWait(600);
    EXPECT_EQ(stored(), "{700, 560}");
}

TEST_F(EditorWindowTest, ANoteRowGrowsALineAtATimeAsItsCommentWraps) {
    auto editor = open();
    editor->resize(640, 600);
    editor->canvas()->add({mark(QRectF(10, 10, 50, 40))});
    NoteField* field = editor->noteFieldFor(0);
    ASSERT_NE(field, nullptr);
    const int oneLine = field->height();
    QTest::keyClicks(field, QString("press the blue button ").repeated(12));
    EXPECT_GT(field->height(), oneLine * 2) << "several lines are shown, none scrolled away";
    EXPECT_EQ(field->height(), field->heightForText());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(field->text().contains('\n')) << "Return moves on instead of starting a line";
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->height(), oneLine) << "and shrinks back when emptied";
}
