// Reading elements and page addresses from made-up applications on the accessibility bus.
#include "understanding/AccessibilityReader.h"

#include "support/TestEnv.h"

using namespace ombrel;
using namespace ombrel::AccessibilityReader;
using Kind = ScreenElement::Kind;

namespace {

class ReaderTest : public test::LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        app = std::make_shared<FakeNode>();
        app->questions = &questions;
        platform.accessibleTree->apps.insert(pid, app);
        window = app->add("frame", QRectF(100, 50, 800, 600), "Window");
    }

    QList<ScreenElement> read(QSize imageSize = {800, 600}, QRectF area = QRectF(100, 50, 800, 600)) {
        return elements(Source{pid, area}, imageSize);
    }

    // An on-screen window of a process, appended on top of the others.
    void putWindow(qint64 owner, const QString& bundleId, QRect frame) {
        WindowInfo w;
        w.id = quint32(platform.windows->windowList.size() + 1);
        w.pid = owner;
        w.bundleId = bundleId;
        w.frameGlobal = frame;
        platform.windows->windowList.append(w);
    }

    qint32 pid = 777;
    int questions = 0;
    std::shared_ptr<FakeNode> app;
    std::shared_ptr<FakeNode> window;
};

} // namespace

TEST(AccessibilityRoles, MapTheBusRolesOntoKinds) {
    EXPECT_EQ(kind("push button"), Kind::Button);
    EXPECT_EQ(kind("check box"), Kind::Button);
    EXPECT_EQ(kind("link"), Kind::Link);
    EXPECT_EQ(kind("password text"), Kind::Field);
    EXPECT_EQ(kind("icon"), Kind::Image);
    EXPECT_EQ(kind("heading", false, true), Kind::Text);
    EXPECT_EQ(kind("paragraph", false, false), std::nullopt); // a paragraph holding links is their container
    EXPECT_EQ(kind("document web"), Kind::Section);
    EXPECT_EQ(kind("menu item"), std::nullopt);
}

TEST_F(ReaderTest, ConvertsFramesToPicturePixelsAndNamesByKind) {
    auto field = window->add("entry", QRectF(150, 100, 200, 30));
    field->texts = {
        {NodeText::Value, "typed secret"}, {NodeText::Placeholder, "Email"}, {NodeText::Help, "Your email"}};
    auto label = window->add("label", QRectF(150, 140, 100, 20), "Name");
    label->texts.insert(NodeText::Value, "  Shown text \n");
    auto button = window->add("push button", QRectF(150, 200, 80, 30));
    button->texts.insert(NodeText::Description, "Send");
    // A combo box one can type in is a field; one that only offers choices is a button.
    window->add("combo box", QRectF(400, 100, 200, 30), "To")->editable = true;
    window->add("combo box", QRectF(400, 200, 200, 30), "Size");
    // Pictures at twice the screen's pixels (a scaled capture).
    EXPECT_EQ(read({1600, 1200}), (QList<ScreenElement>{{Kind::Field, "Email", QRectF(100, 100, 400, 60)},
                                                        {Kind::Text, "Shown text", QRectF(100, 180, 200, 40)},
                                                        {Kind::Button, "Send", QRectF(100, 300, 160, 60)},
                                                        {Kind::Field, "To", QRectF(600, 100, 400, 60)},
                                                        {Kind::Button, "Size", QRectF(600, 300, 400, 60)}}));
}

TEST_F(ReaderTest, LeavesOutTinyHugeUntitledTextAndLowSections) {
    window->add("push button", QRectF(100 + 800 - 5.9, 300, 40, 20),
                "cut to 5.9"); // clipped at the right edge
    window->add("push button", QRectF(100 + 800 - 6.0, 330, 40, 20), "cut to 6");
    window->add("panel", QRectF(100, 50, 800, 600), "whole window");
    window->add("label", QRectF(200, 400, 100, 20));
    window->add("panel", QRectF(200, 100, 300, 60), "60 high");
    window->add("panel", QRectF(200, 200, 300, 61), "61 high");
    window->add("image", QRectF(600, 400, 50, 50)); // images need no title
    window->add("push button", std::nullopt, "no frame");
    EXPECT_EQ(read(), (QList<ScreenElement>{{Kind::Button, "cut to 6", QRectF(794, 280, 6, 20)},
                                            {Kind::Section, "61 high", QRectF(100, 150, 300, 61)},
                                            {Kind::Image, "", QRectF(500, 350, 50, 50)}}));
}

TEST_F(ReaderTest, WalksChildrenInOrderWithinTheDepthAndNodeLimits) {
    auto deep = window;
    for (int depth = 1; depth < 45; ++depth)
        deep = deep->add("filler", QRectF(120, 60, 10, 10));
    deep->add("push button", QRectF(150, 100, 50, 20), "too deep");
    auto section = window->add("panel", QRectF(100, 200, 400, 200), "Form");
    section->add("push button", QRectF(150, 250, 50, 20), "inside");
    auto hidden = app->add("frame", QRectF(100, 50, 300, 300));
    hidden->visible = false;
    hidden->add("push button", QRectF(150, 100, 50, 20), "in a hidden pop-up");
    EXPECT_EQ(read(), (QList<ScreenElement>{{Kind::Section, "Form", QRectF(0, 150, 400, 200)},
                                            {Kind::Button, "inside", QRectF(50, 200, 50, 20)}}));

    // With room for three elements the walk stops after the window and the first chain.
    auto app2 = std::make_shared<FakeNode>();
    auto w2 = app2->add("frame", QRectF(100, 50, 800, 600));
    w2->add("push button", QRectF(150, 100, 50, 20), "one");
    w2->add("push button", QRectF(150, 130, 50, 20), "two");
    w2->add("push button", QRectF(150, 160, 50, 20), "three");
    Limits limits;
    limits.maxNodes = 3;
    EXPECT_EQ(elements(*app2, Source{pid, QRectF(100, 50, 800, 600)}, {800, 600}, limits).size(), 2);
}

TEST_F(ReaderTest, ReadsNothingWithoutAccessibilityOrASource) {
    window->add("push button", QRectF(150, 100, 50, 20), "Go");
    platform.access->accessibility = false;
    EXPECT_TRUE(read().isEmpty());
    EXPECT_EQ(questions, 0);
    platform.access->accessibility = true;
    EXPECT_TRUE(elements(Source{0, QRectF(100, 50, 800, 600)}, {800, 600}).isEmpty());
    EXPECT_EQ(read().size(), 1);
    EXPECT_EQ(platform.accessibleTree->timeouts.last(), messagingTimeoutMs);
}

TEST(AccessibilityAddresses, CleanAddressAcceptsWebAddressesOnly) {
    EXPECT_EQ(cleanAddress("  example.com/docs \n"), "https://example.com/docs");
    EXPECT_EQ(cleanAddress("localhost:8080/app"), "https://localhost:8080/app");
    EXPECT_EQ(cleanAddress("HTTP://Example.com/a?b=1"), "http://example.com/a?b=1");
    EXPECT_EQ(cleanAddress("https://app.test/#/inbox/3"), "https://app.test/#/inbox/3");
    EXPECT_EQ(cleanAddress("https://app.test/page#section-2"), "https://app.test/page");
    EXPECT_FALSE(cleanAddress("localhost"));
    EXPECT_FALSE(cleanAddress(".hidden.com"));
    EXPECT_FALSE(cleanAddress("ftp://files.example.com"));
    EXPECT_FALSE(cleanAddress("file:///home/me/page.html"));
    EXPECT_FALSE(cleanAddress("search for this.thing"));
    EXPECT_FALSE(cleanAddress(""));
    EXPECT_TRUE(isOwn("https://chat.claude.ai/new", {"claude.ai"}));
    EXPECT_FALSE(isOwn("https://notclaude.ai/", {"claude.ai"}));
}

TEST_F(ReaderTest, PageAddressesComeFromVisibleBrowserWindowsFrontFirst) {
    // The browser's document, and behind it an address bar that is not needed.
    app->kids.clear();
    auto browserWindow = app->add("frame", QRectF(0, 0, 1200, 800));
    auto bar = browserWindow->add("entry", QRectF(0, 0, 1200, 30), "Address and search bar");
    bar->texts.insert(NodeText::Value, "example.com/from-bar");
    // A tab in the background comes first in the tree but is not the page shown.
    auto background = browserWindow->add("document web", QRectF(0, 40, 1200, 760));
    background->docURL = "https://example.com/background-tab";
    background->showing = false;
    auto page = browserWindow->add("document web", QRectF(0, 40, 1200, 760));
    page->docURL = "https://example.com/page#top";
    putWindow(pid, "Chromium", QRect(0, 0, 1200, 800));
    const Source screen{1, QRectF(0, 0, 1920, 1080)};
    EXPECT_EQ(pageAddresses(screen), QStringList{"https://example.com/page"});

    // A browser that cannot search itself is walked breadth first to its document.
    browserWindow->searches = false;
    EXPECT_EQ(pageAddresses(screen), QStringList{"https://example.com/page"});

    // Without a document address, the address bar answers.
    page->docURL.clear();
    EXPECT_EQ(pageAddresses(screen), QStringList{"https://example.com/from-bar"});

    // A window wholly behind the front one, a small one and a non-browser give nothing.
    platform.windows->windowList.clear();
    putWindow(pid, "chromium", QRect(100, 100, 600, 400));
    putWindow(888, "gedit", QRect(0, 0, 1200, 800));
    EXPECT_TRUE(pageAddresses(screen).isEmpty());
    platform.windows->windowList.clear();
    putWindow(pid, "chromium", QRect(0, 0, 200, 800));
    EXPECT_TRUE(pageAddresses(screen).isEmpty());
    // Covering 8 % of the capture is not enough.
    platform.windows->windowList.clear();
    putWindow(pid, "chromium", QRect(0, 0, 1200, 800));
    EXPECT_TRUE(pageAddresses(Source{1, QRectF(1200 - 80, 0, 1000, 800)}).isEmpty());
    EXPECT_EQ(pageAddresses(Source{1, QRectF(1200 - 81, 0, 1000, 800)}).size(), 1);
}

TEST_F(ReaderTest, TheDesktopChatAppNeverReportsItsOwnPages) {
    app->kids.clear();
    auto w = app->add("frame", QRectF(0, 0, 1200, 800));
    auto hidden = w->add("document web", QRectF(0, 0, 1200, 800));
    hidden->docURL = "https://docs.example.org/another-tab";
    hidden->showing = false;
    w->add("document web", QRectF(0, 0, 1200, 800))->docURL = "https://claude.ai/chat/1";
    auto shown = w->add("panel", QRectF(0, 0, 600, 800));
    shown->add("document web", QRectF(0, 0, 600, 800))->docURL = "https://docs.example.org/guide";
    putWindow(pid, "Claude", QRect(0, 0, 1200, 800));
    EXPECT_EQ(pageAddress(pid, std::nullopt), "https://docs.example.org/guide");
    EXPECT_EQ(browserProcess(Source{1, QRectF(0, 0, 1920, 1080)}), pid);
}
