// The editor's find field, Auto-Blur and page links over real text readings and a made-up
// application on the accessibility bus.
#include "EditorTestSupport.h"
#include "platform/Defaults.h"

#include <QFont>
#include <QPainter>
#include <QTest>

using namespace ombrel;

namespace {

// A window-sized picture with a title, a "Save changes" line and a password line.
QImage page() {
    QImage image(900, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(40, 60, QStringLiteral("Account settings"));
    p.drawText(40, 160, QStringLiteral("Save changes"));
    p.drawText(40, 260, QStringLiteral("password: hunter2"));
    return image;
}

constexpr qint64 appPid = 555;
const QRect area(100, 100, 900, 400);

} // namespace

class EditorFindTest : public test::EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        auto app = std::make_shared<FakeNode>();
        auto window = app->add("frame", QRectF(area));
        window->add("push button", QRectF(600, 300, 120, 40), "Login");
        window->add("push button", QRectF(600, 350, 200, 40), "Login with Google");
        window->add("document web", QRectF(100, 140, 900, 360))->docURL = "https://example.com/settings#top";
        platform.accessibleTree->apps.insert(appPid, app);
        WindowInfo browser;
        browser.id = 9;
        browser.pid = appPid;
        browser.bundleId = "chromium";
        browser.frameGlobal = area;
        platform.windows->windowList = {browser};
    }

    std::unique_ptr<EditorWindowController> open(qint64 pid = appPid) {
        auto editor = std::make_unique<EditorWindowController>(page(), CaptureStyle::MiniPanel,
                                                               QRect(0, 0, 1280, 800), area, pid);
        editor->present();
        return editor;
    }

    // Types the query and presses Return, then waits for the outcome.
    QString find(EditorWindowController& editor, const QString& query) {
        editor.findField()->setText(query);
        editor.findOnPage();
        return waitForStatus(editor);
    }

    QString waitForStatus(EditorWindowController& editor) {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QString s = editor.statusText();
                return !s.startsWith("Looking") && !s.startsWith("Reading");
            },
            20000))
            << "the find is still under way: " << editor.statusText().toStdString();
        return editor.statusText();
    }
};

TEST_F(EditorFindTest, FindsElementsFirstThenTextAndSaysWhenNothingMatches) {
    auto editor = open();
    CanvasView* canvas = editor->canvas();
    EXPECT_EQ(find(*editor, "login button"), "Found 2. Add a comment below.");
    ASSERT_EQ(canvas->markup().boxes.size(), 2);
    EXPECT_EQ(canvas->markup().boxes[0].element, QStringLiteral("Button \u201CLogin\u201D"));
    EXPECT_EQ(canvas->markup().boxes[0].imageRect, QRectF(500, 200, 120, 40)); // picture pixels
    EXPECT_EQ(canvas->markup().boxes[1].element, QStringLiteral("Button \u201CLogin with Google\u201D"));

    // Accessibility names nothing "save": the line of text found on the picture answers,
    // named by its words, in one undoable step.
    EXPECT_EQ(find(*editor, "save"), "Found 1. Add a comment below.");
    ASSERT_EQ(canvas->markup().boxes.size(), 3);
    EXPECT_EQ(canvas->markup().boxes[2].element, QStringLiteral("\u201CSave changes\u201D"));
    EXPECT_TRUE(canvas->markup().boxes[2].imageRect.intersects(QRectF(40, 140, 60, 25)));

    EXPECT_EQ(find(*editor, "zebra crossing"), "Couldn't see \"zebra crossing\". Try the words on it.");
    EXPECT_EQ(canvas->markup().boxes.size(), 3);
    canvas->undo();
    EXPECT_EQ(canvas->markup().boxes.size(), 2);
}

TEST_F(EditorFindTest, AStaleFindIsDroppedWithoutAMessage) {
    auto editor = open(0); // no source: the text readings answer
    editor->findField()->setText("account settings");
    editor->findOnPage();
    // Typed on before the reading is done, and found: the readings answer the finds in the
    // order they were asked, so once the second has its answer the first has had its own.
    EXPECT_EQ(find(*editor, "save changes"), "Found 1. Add a comment below.");
    const QList<Markup::Box>& boxes = editor->canvas()->markup().boxes;
    ASSERT_EQ(boxes.size(), 1) << "the first find added nothing";
    EXPECT_TRUE(boxes[0].imageRect.intersects(QRectF(40, 140, 60, 25)));
}

TEST_F(EditorFindTest, AutoBlurCoversThePasswordAndTheElementsPointAtButtons) {
    auto editor = open();
    editor->autoBlur();
    EXPECT_EQ(editor->statusText(), "Reading carefully. This can take a moment on a busy computer…");
    EXPECT_EQ(waitForStatus(*editor), "Blurred 1. It can miss things, so have a quick look.");
    const QList<Markup::Box>& boxes = editor->canvas()->markup().boxes;
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].hides);
    EXPECT_TRUE(boxes[0].imageRect.contains(QPointF(60, 252)));  // over "password"
    EXPECT_TRUE(boxes[0].imageRect.contains(QPointF(180, 252))); // and over the value
    // The Select tool names what it points at from the same readings.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->canvas()->elements.isEmpty(); }, 5000));
    EXPECT_EQ(editor->canvas()->elements.first().title, "Login");
}

TEST_F(EditorFindTest, AutoBlurWithNothingPrivateSaysSoAsAProblem) {
    auto editor = EditorTest::open(test::plainPicture()); // from no application
    editor->autoBlur();
    EXPECT_EQ(waitForStatus(*editor), "Found nothing to blur. Have a quick look yourself.");
    EXPECT_TRUE(editor->canvas()->markup().boxes.isEmpty());
}

TEST_F(EditorFindTest, TheBrowserPageAddressBecomesAPageLinkUnlessTurnedOff) {
    auto editor = open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->canvas()->markup().links.isEmpty(); }, 5000));
    EXPECT_EQ(editor->canvas()->markup().links,
              (QList<Markup::PageLink>{{QStringLiteral("https://example.com/settings"), true}}));

    Defaults::set(Keys::noPageAddress, true);
    auto second = open();
    EXPECT_EQ(find(*second, "login button"), "Found 2. Add a comment below.");
    PageReadings::waitForAll(); // every reading has answered, and its answers are delivered
    QCoreApplication::processEvents();
    EXPECT_TRUE(second->canvas()->markup().links.isEmpty());
}
