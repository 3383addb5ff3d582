#include "ShellTestSupport.h"
#include "library/CaptureStore.h"
#include "library/RecentPanel.h"
#include "longpage/ScrollCaptureSession.h"
#include "markup/MarkStore.h"
#include "platform/Defaults.h"
#include "sending/ChatSender.h"
#include "ui/Toast.h"
#include "video/VideoEditorWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace ombrel;
using namespace ombrel::test;

using AppDelegateTest = ShellTest;

TEST_F(AppDelegateTest, EveryToggleIsStoredAndShownChecked) {
    launch();
    struct Row {
        const char *title, *key, *stored;
        bool checked; // settings named for what is turned off are stored as the opposite
    };
    for (const Row& r : {Row{"Mini Panel", "captureStyle", "miniPanel", true},
                         Row{"Press Enter After Pasting into Chat", "pasteWithoutEnter", "true", false},
                         Row{"Shutter Sound and Flash", "noShutterEffect", "true", false},
                         Row{"Add Web Address from Browsers", "noPageAddress", "true", false},
                         Row{"Glass Bubbles", "noteLookChoiceV2", "glass", true},
                         Row{"Send Crash Reports Automatically", "crashReportsOff", "true", false}}) {
        item(app->settingsMenu(), r.title)->trigger();
        EXPECT_EQ(Defaults::store().value(r.key).toString(), r.stored) << r.title;
        EXPECT_EQ(item(app->settingsMenu(), r.title)->isChecked(), r.checked) << r.title;
    }
    EXPECT_FALSE(item(app->settingsMenu(), "Mark on Screen")->isChecked()) << "one capture style at a time";
}

TEST_F(AppDelegateTest, AnUnknownStoredStyleOrLookMeansTheDefault) {
    Defaults::set(Keys::captureStyle, QString("sideways"));
    Defaults::set(Keys::noteLookChoiceV2, QString("neon"));
    launch();
    EXPECT_TRUE(item(app->settingsMenu(), "Mark on Screen")->isChecked());
    EXPECT_TRUE(item(app->settingsMenu(), "List Under the Picture")->isChecked());
}

TEST_F(AppDelegateTest, OpenAtLoginIsSetUpOnceOnlyInTheRealBuild) {
    launch();
    EXPECT_EQ(platform.loginItem->registrations, 0);
    EXPECT_FALSE(Defaults::get(Keys::openAtLoginSetUp));

    launch("com.ombrel.capture");
    EXPECT_EQ(platform.loginItem->registrations, 1);
    EXPECT_TRUE(Defaults::get(Keys::openAtLoginSetUp));
    EXPECT_TRUE(item(app->settingsMenu(), "Open at Startup")->isChecked());
    item(app->settingsMenu(), "Open at Startup")->trigger(); // the user turns it off
    launch("com.ombrel.capture");
    EXPECT_EQ(platform.loginItem->registrations, 1) << "turning it off later is respected";
    EXPECT_FALSE(platform.loginItem->enabled);
}

TEST_F(AppDelegateTest, WhatCannotBeDoneIsExplainedAndNothingOpens) {
    launch();
    item(app->appMenu(), "Paste Image")->trigger(); // an empty clipboard
    app->openPicture(libraryPath("gone.png"));
    platform.loginItem->failWith = "The autostart folder is read-only.";
    item(app->settingsMenu(), "Open at Startup")->trigger();
    ASSERT_EQ(alerts.size(), 3);
    EXPECT_EQ(alerts[0].title, "No picture on the clipboard");
    EXPECT_EQ(alerts[1].title, "Couldn't open that picture");
    EXPECT_EQ(alerts[2].title, "Couldn't change Open at Startup");
    EXPECT_TRUE(alerts[2].message.startsWith("The autostart folder is read-only.")) << "the system's words";
    EXPECT_EQ(app->editor(), nullptr);
    EXPECT_TRUE(alerts[2].message.endsWith("You can also change it in your desktop's Startup Applications."))
        << "this desktop's words, not a Mac settings path";
}

TEST_F(AppDelegateTest, OnlyTheRealBuildSortsTheLibraryAndRecoversRecordings) {
    const QString loose = makeFile("loose.png", QDateTime(QDate(2026, 3, 5), QTime(9, 0)));
    QFile stranded(dir.filePath("tmp/ombrel-recording-X.mp4"));
    ASSERT_TRUE(stranded.open(QIODevice::WriteOnly));
    stranded.write("video");
    stranded.close();

    launch();
    EXPECT_TRUE(QFileInfo::exists(loose));
    EXPECT_TRUE(stranded.exists());

    launch("com.ombrel.capture");
    EXPECT_FALSE(QFileInfo::exists(loose));
    EXPECT_TRUE(QFileInfo::exists(libraryPath("2026-03-05/loose.png")));
    EXPECT_FALSE(stranded.exists());
    EXPECT_EQ(CaptureStore::search("video").size(), 1);
}

TEST_F(AppDelegateTest, CaptureGrabsTheScreenAtMost2400WideIntoTheEditorWithTheShutter) {
    platform.screens->displayList = {{7, QRect(0, 0, 5120, 2880), true, "big"}};
    launch();
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    item(app->appMenu(), "Capture Screen")->trigger();
    EXPECT_TRUE(app->isCapturing());
    app->capture(); // a second request while one is in flight is ignored
    ASSERT_TRUE(presented.wait(5000));
    EXPECT_FALSE(app->isCapturing());
    EXPECT_EQ(platform.screens->grabs, 1);
    ASSERT_NE(app->editor(), nullptr);
    EXPECT_EQ(app->editor()->canvas()->markup().image.size(), QSize(2400, 1350));
    EXPECT_EQ(platform.sounds->events, QStringList{"camera-shutter"});

    // With the editor open on screen, the camera first steps the editor aside; the next
    // press captures the next screen into it.
    app->capture();
    EXPECT_TRUE(app->editor()->isWaitingForNextScreen());
    EXPECT_EQ(platform.screens->grabs, 1);
    app->capture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->editor()->pageCount() == 2; }, 5000));
    EXPECT_FALSE(app->editor()->isWaitingForNextScreen());
    EXPECT_EQ(app->editor()->statusText(), "Picture 2 added. Point, click and comment.");
    EXPECT_EQ(presented.count(), 1);
    app->editor()->closeEditor();
    EXPECT_EQ(app->editor(), nullptr);
}

TEST_F(AppDelegateTest, AFailedOrForbiddenGrabIsExplainedAndCapturingEnds) {
    launch();
    platform.screens->failNext = "The X server didn't hand over the screen.";
    app->capture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app->isCapturing(); }, 5000));
    WindowInfo gone;
    gone.id = 99;
    gone.frameGlobal = QRect(0, 0, 300, 200);
    app->captureWindow(gone);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app->isCapturing(); }, 5000));
    const int grabs = platform.screens->grabs;
    platform.access->screen = false;
    app->capture();
    EXPECT_FALSE(app->isCapturing());
    EXPECT_EQ(platform.screens->grabs, grabs) << "without permission nothing is grabbed";

    ASSERT_EQ(alerts.size(), 3);
    EXPECT_EQ(alerts[0].title, "Couldn't capture the screen");
    EXPECT_TRUE(alerts[0].message.endsWith("Your computer said: The X server didn't hand over the screen."));
    EXPECT_EQ(alerts[1].title, "Couldn't capture that window");
    EXPECT_EQ(alerts[1].message, "The window has closed.");
    EXPECT_EQ(alerts[2].title, "Let Ombrel Capture see your screen");
    EXPECT_TRUE(platform.sounds->events.isEmpty()) << "no shutter for a failed grab";
}

TEST_F(AppDelegateTest, TheCaptureUrlHandsBackOnlyForSendZero) {
    launch();
    Defaults::set(Keys::captureStyle, QString("miniPanel")); // the camera adds pages straight away
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    app->open({"ombrel-capture://capture?send=1"});
    EXPECT_FALSE(app->handBackNext());
    ASSERT_TRUE(presented.wait(5000));
    EXPECT_FALSE(app->editor()->handsBack());
    app->open({"ombrel-capture://capture?send=0"});
    EXPECT_TRUE(app->editor()->handsBack()) << "an open editor hands back at once";
    EXPECT_FALSE(app->handBackNext());
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->editor()->pageCount() == 2; }, 5000));
    app->editor()->closeEditor();

    app->open({"ombrel-capture://capture?send=0"});
    EXPECT_TRUE(app->handBackNext());
    ASSERT_TRUE(presented.wait(5000));
    EXPECT_TRUE(app->editor()->handsBack()) << "the next editor takes the flag";
    EXPECT_FALSE(app->handBackNext());
    app->editor()->closeEditor();
    app->openUrls({QUrl("ombrel-capture://record"), QUrl("https://example.com/capture")});
    EXPECT_FALSE(app->isCapturing()) << "other URLs are ignored";
    EXPECT_EQ(platform.screens->grabs, 3);
}

TEST_F(AppDelegateTest, BringingInAPictureKeepsItAndRemovesThePhonesCopy) {
    launch();
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    const QString photo = dir.filePath("tmp/photo.png");
    ASSERT_TRUE(plainImage(QSize(40, 30), Qt::blue).save(photo));
    app->bringIn(photo, false);
    EXPECT_EQ(presented.count(), 1);
    EXPECT_FALSE(QFileInfo::exists(photo));
    EXPECT_EQ(app->editor()->canvas()->markup().image.size(), QSize(40, 30));
}

TEST_F(AppDelegateTest, BringingInAChosenVideoLeavesTheChosenFileInPlace) {
    launch();
    const QString chosen = dir.filePath("tmp/talk.mp4");
    QFile f(chosen);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    app->bringIn(chosen, true);
    EXPECT_TRUE(QFileInfo::exists(chosen));
    const QStringList all = CaptureStore::all();
    ASSERT_EQ(all.size(), 1);
    // Copied straight into the library under its own name, never through the shared /tmp.
    EXPECT_EQ(QFileInfo(all.first()).fileName(), "talk.mp4");
    EXPECT_EQ(QDir(dir.filePath("tmp")).entryList(QDir::Files | QDir::Hidden), QStringList{"talk.mp4"});
    ASSERT_EQ(VideoEditorWindow::openEditors().size(), 1) << "the video opens in the video editor";
    EXPECT_EQ(VideoEditorWindow::openEditors().first()->file(), QFileInfo(all.first()).absoluteFilePath());
    // A video of the library opens where it is, also from the command line and from Recent.
    app->open({all.first()});
    EXPECT_EQ(CaptureStore::all().size(), 1) << "no copy is brought in";
    EXPECT_EQ(VideoEditorWindow::openEditors().size(), 1) << "the editor already showing it comes forward";
    ASSERT_TRUE(RecentPanel::onOpenVideo);
    app->recentPanel().view(all.first());
    EXPECT_EQ(VideoEditorWindow::openEditors().size(), 1);
    EXPECT_TRUE(platform.workspace->opened.isEmpty()) << "no other player is started";
    qDeleteAll(QList<VideoEditorWindow*>(VideoEditorWindow::openEditors()));
}

namespace {
// Every text a person can read on the program's windows and menus: labels, buttons, tips,
// names read out by a screen reader, titles, placeholders and menu items.
QStringList shownTexts() {
    QStringList texts;
    for (QWidget* w : QApplication::allWidgets()) {
        texts << w->toolTip() << w->accessibleName() << w->windowTitle();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
        if (auto* line = qobject_cast<QLineEdit*>(w)) texts << line->placeholderText();
        for (QAction* a : w->actions())
            texts << a->text() << a->toolTip();
    }
    texts.removeAll(QString());
    return texts;
}
} // namespace

TEST_F(AppDelegateTest, EveryTextShownUsesThisDesktopsNamesNotTheMacs) {
    launch();
    const QString picture = CaptureStore::newFileURL();
    ASSERT_TRUE(plainImage(QSize(60, 40), Qt::green).save(picture));
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    item(app->appMenu(), "Capture Screen")->trigger();
    ASSERT_TRUE(presented.wait(5000));
    app->toggleRecent();
    app->addFromPhone();
    app->openPicture(libraryPath("gone.png"));
    Toast::show(QStringLiteral("Moved to the Trash. Press Command-Z to undo."));

    static const QRegularExpression mac(QStringLiteral(R"(\bMac\b|Finder|Command-|Option-|iCloud|macOS)"));
    QStringList seen = shownTexts();
    for (const Alert& alert : alerts)
        seen << alert.title << alert.message;
    seen << Toast::shownText();
    ASSERT_GT(seen.size(), 50) << "the editor, Recent and the phone window are open";
    for (const QString& text : seen)
        EXPECT_FALSE(mac.match(text).hasMatch()) << text.toStdString();
    EXPECT_TRUE(seen.contains(QStringLiteral("Show the folder in Files")));
    app->editor()->closeEditor();
}

TEST_F(AppDelegateTest, RecentFromTheTrayTogglesThePanelAndATileReopensTheUnmarkedPictureWithItsMarks) {
    launch();
    EXPECT_FALSE(app->hasRecentPanel()) << "made on first use";
    // A marked library picture: the finished file shows the marks drawn in, the hidden copy
    // is the picture without them.
    QImage unmarked = plainImage(QSize(60, 40), Qt::green);
    unmarked.setPixelColor(5, 5, Qt::blue);
    Markup marked(unmarked, std::nullopt, Qt::red);
    marked.boxes = {Markup::Box(QRectF(10, 10, 20, 15), QStringLiteral("the button"))};
    const QString picture = CaptureStore::newFileURL();
    ASSERT_TRUE(plainImage(QSize(60, 40), Qt::red).save(picture));
    MarkStore::save(marked, picture);
    QAction* recent = item(app->appMenu(), "Recent");
    ASSERT_TRUE(recent->isEnabled());
    recent->trigger();
    ASSERT_TRUE(app->hasRecentPanel());
    RecentPanel& panel = app->recentPanel();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.settingsButton()->isVisible()) << "the gear offers the Settings submenu";
    recent->trigger();
    EXPECT_FALSE(panel.isVisible());

    EXPECT_FALSE(app->applicationShouldHandleReopen());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_FALSE(app->applicationShouldHandleReopen()) << "a second reopen keeps it shown";
    EXPECT_TRUE(panel.isVisible());

    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    ASSERT_EQ(panel.cells().size(), 1);
    QTest::mouseClick(panel.cells().first()->thumbnail(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(presented.count(), 1);
    EXPECT_FALSE(panel.isVisible()) << "the editor takes the panel's place";
    const Markup& opened = app->editor()->canvas()->markup();
    EXPECT_EQ(opened.image.convertToFormat(QImage::Format_RGB32), unmarked)
        << "the editor opens the unmarked copy, not the picture with the marks drawn in";
    EXPECT_EQ(opened.boxes, marked.boxes);
    EXPECT_EQ(opened.comment, marked.comment);
}

TEST_F(AppDelegateTest, ALongPageIsTheTargetsLargestNormalWindowAtLeast200Wide) {
    const QList<WindowInfo> windows{
        windowInfo(1, 50, {}, {}, QRect(0, 0, 400, 300)),
        windowInfo(2, 50, {}, {}, QRect(0, 0, 199, 3000)),                       // too narrow
        windowInfo(3, 50, {}, {}, QRect(0, 0, 900, 900), WindowKind::Normal, 1), // above other windows
        windowInfo(4, 50, {}, {}, QRect(0, 0, 900, 900), WindowKind::Dialog),    // not a normal window
        windowInfo(5, 60, {}, {}, QRect(0, 0, 1000, 1000)),                      // another process
        windowInfo(6, 50, {}, {}, QRect(0, 0, 200, 500)),
    };
    ASSERT_TRUE(AppDelegate::longPageWindow(windows, 50));
    EXPECT_EQ(AppDelegate::longPageWindow(windows, 50)->id, 1u) << "400 × 300 is larger than 200 × 500";
    EXPECT_FALSE(AppDelegate::longPageWindow(windows, 70));
    EXPECT_EQ(AppDelegate::longPageWindow({windows[1], windows[5]}, 50)->id, 6u)
        << "exactly 200 wide is enough";
}

// A long page is captured from the program last in front, as the chat sender remembers it.
class LongPageCapture : public AppDelegateTest {
  protected:
    void SetUp() override {
        AppDelegateTest::SetUp();
        ChatSender::reset();
    }
    void TearDown() override {
        ChatSender::reset();
        AppDelegateTest::TearDown();
    }
    // The Pages program (pid 50) was in front; its window 7 shows `content`.
    void pagesWasInFront(const QImage& content) {
        ChatSender::remember(AppInfo{50, "org.example.pages", "Pages", true});
        platform.windows->windowList = {
            windowInfo(7, 50, "org.example.pages", "Pages", QRect(10, 10, 300, 500))};
        platform.screens->windowContent[7] = content;
    }
};

TEST_F(LongPageCapture, NeedsATargetAndOneOfItsWindows) {
    launch();
    item(app->appMenu(), "Capture a Long Page…")->trigger();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, "Which page?");
    EXPECT_EQ(app->scrollSession(), nullptr);

    ChatSender::remember(AppInfo{50, "org.example.pages", "Pages", true});
    platform.windows->windowList = {windowInfo(2, 50, "org.example.pages", "Pages", QRect(0, 0, 150, 900))};
    app->startScrollCapture();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[1].title, "No window to capture");
    EXPECT_EQ(app->scrollSession(), nullptr);
    EXPECT_TRUE(platform.windows->activations.isEmpty());
}

TEST_F(LongPageCapture, ActivatesTheTargetAndOpensThePictureInTheEditor) {
    launch();
    pagesWasInFront(plainImage(QSize(300, 500), QColor(20, 120, 200)));
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);

    app->startScrollCapture();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(platform.windows->activations, QList<qint64>{50});
    QPointer<ScrollCaptureSession> session = app->scrollSession();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->window().id, 7u);
    EXPECT_EQ(session->detail(), "Scroll Pages from top to bottom. Press Done when you reach the end.");
    EXPECT_GE(platform.screens->grabs, 1) << "the first frame is taken at once";

    session->primaryButton()->click();
    ASSERT_TRUE(presented.count() == 1 || presented.wait(5000));
    ASSERT_NE(app->editor(), nullptr);
    EXPECT_EQ(app->editor()->canvas()->markup().image.size(), QSize(300, 500));
    EXPECT_EQ(app->scrollSession(), nullptr) << "the ended capture is forgotten";
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.isNull(); }, 5000));
    app->editor()->closeEditor();
}

TEST_F(LongPageCapture, ACancelledOneOpensNothing) {
    launch();
    pagesWasInFront(plainImage(QSize(300, 500), Qt::white));
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    app->startScrollCapture();
    ASSERT_NE(app->scrollSession(), nullptr);
    app->scrollSession()->secondaryButton()->click();
    EXPECT_EQ(app->scrollSession(), nullptr);
    EXPECT_EQ(presented.count(), 0);
    EXPECT_EQ(app->editor(), nullptr);
}

TEST_F(AppDelegateTest, PicturesThatCannotBeSavedWhenTheEditorClosesBringItBackWithTheWarning) {
    launch();
    app->openEditor(plainImage(QSize(300, 200), Qt::white));
    QPointer<EditorWindowController> editor = app->editor();
    ASSERT_NE(editor, nullptr);
    editor->canvas()->add({Markup::Box(QRectF(10, 10, 50, 40), "keep me")});
    // Today's folder leads where nothing can be written, even by the superuser.
    const QString day = libraryPath(CaptureStore::dateFolderName());
    QDir().mkpath(QFileInfo(day).absolutePath());
    ASSERT_TRUE(QFile::link("/proc/self/fdinfo", day));
    editor->closeEditor();
    EXPECT_EQ(app->editor(), nullptr) << "the shell forgets a closed editor at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor && editor->isVisible(); }, 10000))
        << "the editor comes back rather than losing the marks";
    EXPECT_EQ(Toast::currentText(),
              "Couldn't save the picture. Your disk may be full. Free up some space, then try again.");
    EXPECT_EQ(app->editor(), editor.data());
    EXPECT_EQ(editor->canvas()->markup().boxes.first().note, "keep me");

    // With room again, closing saves it and the editor goes.
    QFile::remove(day);
    editor->closeEditor();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.isNull(); }, 10000));
    EXPECT_EQ(CaptureStore::all().size(), 1);
}

TEST_F(AppDelegateTest, TheNoteLookIsTheSameInSettingsAndInAnOpenEditor) {
    launch();
    app->openEditor(plainImage(QSize(300, 200), Qt::white));
    item(app->settingsMenu(), "Glass Bubbles")->trigger();
    EXPECT_EQ(app->editor()->lookBox()->currentText(), "Glass bubbles") << "Settings reach the editor";
    app->editor()->nextNoteLook(); // back round to the list
    Q_EMIT app->settingsMenu()->aboutToShow();
    EXPECT_TRUE(item(app->settingsMenu(), "List Under the Picture")->isChecked()) << "and the other way";
    EXPECT_FALSE(item(app->settingsMenu(), "Glass Bubbles")->isChecked());
    app->editor()->closeEditor();
}
