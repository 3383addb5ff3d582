#include "ShareFixture.h"

#include "sending/CloudDrive.h"

using namespace ombrel;
using ombrel::test::ShareTest;

namespace ombrel {
void PrintTo(const CloudDrive& d, std::ostream* os) {
    *os << d.name.toStdString() << " at " << d.folder.toStdString();
}
} // namespace ombrel

class CloudDriveTest : public ShareTest {};

TEST_F(CloudDriveTest, SyncFoldersAndGoogleAccountsAreFoundByTheirNamesAndOthersIgnored) {
    const QString home = folder("home");
    for (const char* entry : {"Dropbox", "OneDrive", "OneDrive-Contoso", "Nextcloud - kim@cloud.example",
                              "pCloudDrive", "Documents", "Boxes"})
        folder(QStringLiteral("home/") + entry);
    file("home/ownCloud"); // a file, not a sync folder
    const QString mounts = folder("run/gvfs");
    folder("run/gvfs/google-drive:host=gmail.com,user=alice");
    folder("run/gvfs/google-drive:host=example.org,user=bob");
    folder("run/gvfs/sftp:host=server.example,user=alice");

    const QList<CloudDrive> drives = CloudDrive::all(home, mounts);
    const QList<CloudDrive> expected{
        {"Dropbox", home + "/Dropbox"},
        {"Google Drive (alice@gmail.com)", mounts + "/google-drive:host=gmail.com,user=alice"},
        {"Google Drive (bob@example.org)", mounts + "/google-drive:host=example.org,user=bob"},
        {"Nextcloud (kim@cloud.example)", home + "/Nextcloud - kim@cloud.example"},
        {"OneDrive", home + "/OneDrive"},
        {"OneDrive (Contoso)", home + "/OneDrive-Contoso"},
        {"pCloud Drive", home + "/pCloudDrive"},
    };
    EXPECT_EQ(drives, expected);

    EXPECT_TRUE(CloudDrive::all(dir.filePath("nobody"), QString()).isEmpty()) << "no home, no runtime folder";
    EXPECT_EQ((CloudDrive{"Dropbox", home + "/Dropbox"}.copiesFolder()), home + "/Dropbox/Ombrel Capture");
}

TEST_F(CloudDriveTest, ACopyKeepsItsNameUnlessTakenThenTakesTheFirstFreeNumber) {
    const CloudDrive drive{"Dropbox", folder("home/Dropbox")};
    const QString shot = picture("library/shot.png");
    const QString notes = file("library/notes", "words");

    auto first = drive.save({shot});
    ASSERT_TRUE(first) << first.message().toStdString();
    EXPECT_EQ(first.value(), QStringList{drive.copiesFolder() + "/shot.png"});
    auto again = drive.save({shot, shot, notes, notes});
    ASSERT_TRUE(again);
    EXPECT_EQ(again.value(),
              (QStringList{drive.copiesFolder() + "/shot 2.png", drive.copiesFolder() + "/shot 3.png",
                           drive.copiesFolder() + "/notes", drive.copiesFolder() + "/notes 2"}));
    for (const QString& copy : again.value())
        EXPECT_EQ(bytesOf(copy), bytesOf(copy.contains("shot") ? shot : notes)) << copy.toStdString();

    // A number already taken by hand is passed over.
    file("home/Dropbox/Ombrel Capture/shot 4.png");
    EXPECT_EQ(CloudDrive::freeName(drive.copiesFolder(), "shot.png"), drive.copiesFolder() + "/shot 5.png");
}

TEST_F(CloudDriveTest, SavingStopsAtTheFirstFileThatCannotBeCopied) {
    const QString a = picture("a.png"), b = picture("b.png");
    const CloudDrive drive{"Nextcloud", folder("home/Nextcloud")};
    auto copies = drive.save({a, dir.filePath("gone.png"), b});
    EXPECT_FALSE(copies);
    EXPECT_FALSE(copies.message().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(drive.copiesFolder() + "/a.png")) << "the copy before stays";
    EXPECT_FALSE(QFileInfo::exists(drive.copiesFolder() + "/b.png")) << "nothing after the failure";

    // The drive's folder has gone away and a file stands in the way of its own.
    file("home/Moved/Ombrel Capture");
    EXPECT_FALSE((CloudDrive{"Moved", dir.filePath("home/Moved")}.save({a})));
}
