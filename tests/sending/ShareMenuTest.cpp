#include "ShareFixture.h"

#include "sending/ShareMenu.h"
#include "ui/Toast.h"

#include <QMenu>
#include <QTest>
#include <memory>

using namespace ombrel;
using ombrel::test::ShareTest;

namespace {

// The menu's items as "title" for enabled ones and "(title)" for disabled ones, separators
// as "-".
QStringList items(const QMenu& menu) {
    QStringList out;
    for (const QAction* a : menu.actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->isEnabled() ? a->text() : "(" + a->text() + ")");
    return out;
}

QAction* item(const QMenu& menu, const QString& title) {
    for (QAction* a : menu.actions())
        if (a->text() == title) return a;
    ADD_FAILURE() << "no item " << title.toStdString();
    return nullptr;
}

} // namespace

class ShareMenuTest : public ShareTest {
  protected:
    void SetUp() override {
        ShareTest::SetUp();
        shot = picture("shot.png");
        second = picture("second.png", Qt::darkRed);
        movie = file("movie.mp4");
        drive = CloudDrive{"Dropbox", folder("home/Dropbox")};
        platform.sharing->applications = {{"org.example.viewer.desktop", "Viewer", {}},
                                          {"org.example.paint.desktop", "Paint", {}}};
    }
    void TearDown() override {
        if (QMenu* open = ShareMenu::current()) delete open;
        ShareTest::TearDown();
    }
    std::unique_ptr<QMenu> menu(const QStringList& files, const QList<CloudDrive>& drives = {}) {
        return std::unique_ptr<QMenu>(ShareMenu::make(files, nullptr, drives));
    }
    bool toastSays(const QString& text) {
        return QTest::qWaitFor([&] { return Toast::currentText() == text; }, 10000);
    }
    QString shot, second, movie;
    CloudDrive drive;
};

TEST_F(ShareMenuTest, TheStepsDocumentIsOfferedWhenAnyFileIsAPicture) {
    const QStringList two = items(*menu({shot, second}, {drive}));
    EXPECT_EQ(two.first(), "(Share all 2)") << "a heading that counts the files";
    EXPECT_TRUE(two.contains("Steps Document (PDF)"));
    EXPECT_FALSE(two.contains("AirDrop") || two.contains("Messages")) << "not on Linux";
    const QStringList onlyRecording = items(*menu({movie}, {drive}));
    EXPECT_EQ(onlyRecording.first(), "(Share this)");
    EXPECT_TRUE(onlyRecording.contains("(Steps Document (PDF))"));
    EXPECT_TRUE(onlyRecording.contains("Mail") && onlyRecording.contains("Dropbox"));
    EXPECT_TRUE(items(*menu({movie, shot}, {drive})).contains("Steps Document (PDF)")) << "a mix";
}

TEST_F(ShareMenuTest, ServicesThatCannotTakeTheFilesAreShownDisabled) {
    platform.sharing->mailInstalled = false;
    platform.sharing->bluetoothInstalled = false;
    platform.sharing->applications.clear();
    const QStringList absent = items(*menu({shot}, {drive}));
    for (const char* title : {"(Mail)", "(Bluetooth)", "(More…)", "Dropbox", "Choose a Folder…"})
        EXPECT_TRUE(absent.contains(title)) << title;

    // A file that has gone since the list was shown can be neither sent nor copied.
    platform.sharing->mailInstalled = true;
    const QStringList gone = items(*menu({shot, dir.filePath("gone.png")}, {drive}));
    for (const char* title : {"(Mail)", "(Dropbox)", "(Choose a Folder…)"})
        EXPECT_TRUE(gone.contains(title)) << title;
}

TEST_F(ShareMenuTest, EachDriveHasItsItemAndOnlyMissingDrivesAreOfferedForDownload) {
    const QList<CloudDrive> drives{{"Google Drive (alice@gmail.com)", folder("g1")},
                                   {"Google Drive (bob@example.org)", folder("g2")},
                                   {"OneDrive (Contoso)", folder("o")}};
    const QStringList shown = items(*menu({shot}, drives));
    EXPECT_TRUE(shown.contains("Google Drive (alice@gmail.com)") &&
                shown.contains("Google Drive (bob@example.org)"));
    EXPECT_FALSE(shown.contains("Get Google Drive…"));
    EXPECT_FALSE(shown.contains("Get Microsoft OneDrive…"));

    auto none = menu({shot});
    item(*none, "Get Google Drive…")->trigger();
    item(*none, "Get Microsoft OneDrive…")->trigger();
    EXPECT_EQ(platform.workspace->opened,
              (QList<QUrl>{QUrl(ShareMenu::googleDrivePage), QUrl(ShareMenu::oneDrivePage)}));
}

TEST_F(ShareMenuTest, ChoosingAServiceHandsItTheFiles) {
    auto m = menu({shot, second});
    item(*m, "Mail")->trigger();
    item(*m, "Bluetooth")->trigger();
    EXPECT_EQ(platform.sharing->mailed, (QList<QStringList>{{shot, second}}));
    EXPECT_EQ(platform.sharing->sentByBluetooth, (QList<QStringList>{{shot, second}}));

    item(*m, "More…")->trigger();
    QMenu* picker = ShareMenu::current();
    ASSERT_NE(picker, nullptr) << "More… offers the applications that open the files";
    EXPECT_EQ(items(*picker), (QStringList{"Viewer", "Paint"}));
    item(*picker, "Paint")->trigger();
    EXPECT_EQ(platform.sharing->openedWith,
              (QList<std::pair<QString, QStringList>>{{"org.example.paint.desktop", {shot, second}}}));
}

TEST_F(ShareMenuTest, SavingToADriveCopiesInTheBackgroundAndSaysHowItWent) {
    auto m = menu({shot, second}, {drive});
    item(*m, "Dropbox")->trigger();
    EXPECT_EQ(Toast::currentText(), "Saving to Dropbox…");
    ASSERT_TRUE(toastSays("Saved 2 to Dropbox")) << Toast::currentText().toStdString();
    EXPECT_EQ(bytesOf(drive.copiesFolder() + "/second.png"), bytesOf(second));

    item(*menu({shot}, {drive}), "Dropbox")->trigger();
    ASSERT_TRUE(toastSays("Saved to Dropbox")) << Toast::currentText().toStdString();
    EXPECT_TRUE(QFileInfo::exists(drive.copiesFolder() + "/shot 2.png")) << "the same picture twice";

    // The drive's folder was replaced by a file since the menu was made.
    const CloudDrive moved{"OneDrive", folder("home/OneDrive")};
    file("home/OneDrive/Ombrel Capture");
    item(*menu({shot}, {moved}), "OneDrive")->trigger();
    ASSERT_TRUE(
        toastSays("Couldn't save to OneDrive. Your disk may be full, or the folder moved. Try again, or "
                  "choose another folder."));
}

TEST_F(ShareMenuTest, AChosenFolderIsSavedToLikeADriveNamedAfterIt) {
    platform.sharing->folderAnswer = folder("Handover");
    item(*menu({shot}), "Choose a Folder…")->trigger();
    EXPECT_EQ(platform.sharing->folderQuestions, (QStringList{"Choose a Folder", "Save Here"}));
    ASSERT_TRUE(toastSays("Saved to Handover")) << Toast::currentText().toStdString();
    EXPECT_EQ(bytesOf(dir.filePath("Handover/Ombrel Capture/shot.png")), bytesOf(shot));

    // Cancelling the panel copies nothing.
    platform.sharing->folderAnswer.reset();
    Toast::show("before");
    item(*menu({second}), "Choose a Folder…")->trigger();
    QTest::qWait(50);
    EXPECT_EQ(Toast::currentText(), "before");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Handover/Ombrel Capture/second.png")));
}

TEST_F(ShareMenuTest, APoppedUpMenuRemembersItsFilesAndGoesAwayOnceClosed) {
    auto button = std::make_unique<QWidget>();
    button->setGeometry(100, 100, 80, 24);
    button->show();
    QMenu* popped = ShareMenu::popUpBelow({shot}, button.get());
    ASSERT_EQ(ShareMenu::current(), popped);
    EXPECT_EQ(ShareMenu::filesOf(popped), QStringList{shot});
    ASSERT_TRUE(QTest::qWaitFor([&] { return popped->isVisible(); }, 5000));
    EXPECT_GE(popped->geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y());
    popped->hide();
    ASSERT_TRUE(QTest::qWaitFor([] { return ShareMenu::current() == nullptr; }, 5000))
        << "deleted once closed";
}
