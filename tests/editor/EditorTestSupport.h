#pragma once
// What the editor's tests share: a plain picture, marks and blur boxes, and a fixture with a
// library that opens editors, counts their closes and waits for what they save.

#include "editor/EditorWindow.h"
#include "editor/ShortcutsWindow.h"
#include "markup/MarkupSetup.h"
#include "sending/SendChoiceWindow.h"
#include "support/TestEnv.h"
#include "understanding/PageReadings.h"

#include <QSignalSpy>

namespace ombrel::test {

inline QImage plainPicture(QColor colour = Qt::white, QSize size = QSize(400, 300)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

inline Markup::Box mark(QRectF rect, QString note = {}) {
    return Markup::Box(rect, std::move(note));
}
inline Markup::Box blur(QRectF rect) {
    return Markup::Box(rect, {}, true);
}

class EditorTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        installMarkupIntoLibrary();
    }
    // No reading of a page, choice window or shortcuts window outlives the fake platform.
    void TearDown() override {
        PageReadings::waitForAll();
        if (SendChoiceWindow* choice = SendChoiceWindow::current()) choice->cancel();
        if (ShortcutsWindow* keys = ShortcutsWindow::current()) delete keys;
        LibraryTest::TearDown();
    }
    std::unique_ptr<EditorWindowController> open(const QImage& image = plainPicture(),
                                                 CaptureStyle style = CaptureStyle::MiniPanel,
                                                 QRect screen = QRect(0, 0, 1280, 800)) {
        auto editor = std::make_unique<EditorWindowController>(image, style, screen);
        editor->onClose = [this] { ++closes; };
        editor->onWantsAnotherCapture = [this] { ++captures; };
        editor->present();
        return editor;
    }
    // The files of the editor's next save; a failure when nothing is saved in time.
    QStringList waitForSave(EditorWindowController& editor) {
        QSignalSpy saved(&editor, &EditorWindowController::saved);
        if (!saved.wait(10000)) ADD_FAILURE() << "nothing was saved";
        return saved.isEmpty() ? QStringList() : saved.first().first().toStringList();
    }
    int closes = 0;
    int captures = 0;
};

} // namespace ombrel::test
