#include "library/CaptureStore.h"
#include "platform/Defaults.h"
#include "platform/Notifier.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {
QDateTime at(int y, int m, int d, int h = 12, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}
QString name(const QString& path) {
    return QFileInfo(path).fileName();
}
} // namespace

using CaptureStoreNames = LibraryTest;

TEST_F(CaptureStoreNames, BaseNameAndDayFolderUseHourMinuteDayMonthYear) {
    const QDateTime when = at(2026, 12, 4, 14, 30);
    EXPECT_EQ(CaptureStore::baseName(FileKind::Image, when), "Ombrel Capture Image_143004122026");
    EXPECT_EQ(CaptureStore::baseName(FileKind::Crop, when), "Ombrel Capture Crop_143004122026");
    EXPECT_EQ(CaptureStore::baseName(FileKind::Video, at(2026, 1, 2, 3, 4)),
              "Ombrel Capture Video_030402012026");
    EXPECT_EQ(CaptureStore::dateFolderName(when), "2026-12-04");
}

TEST_F(CaptureStoreNames, TwoSavesInOneMinuteGetV1AndV2EvenBeforeEitherFileExists) {
    const QString first = CaptureStore::newFileURL();
    const QString second = CaptureStore::newFileURL();
    EXPECT_TRUE(first.endsWith("_V1.png"));
    EXPECT_TRUE(second.endsWith("_V2.png"));
    EXPECT_EQ(first.chopped(6), second.chopped(6));
    EXPECT_EQ(QFileInfo(first).absolutePath(), libraryPath(CaptureStore::dateFolderName()));
    EXPECT_TRUE(QFileInfo(first).dir().exists()) << "today's folder is created";
    EXPECT_TRUE(CaptureStore::newFileURL(true).contains(" Crop_"));
    EXPECT_TRUE(CaptureStore::newRecordingURL().endsWith("_V1.mp4"));
}

TEST_F(CaptureStoreNames, NextVersionAfterStartsSearchingAtOne) {
    const QString v3 = makeFile("2026-12-04/shot_V3.png", at(2026, 12, 4));
    EXPECT_EQ(name(CaptureStore::nextVersionAfter(v3)), "shot_V1.png") << "V1 is free, so it is taken";
    makeFile("2026-12-04/shot_V1.png", at(2026, 12, 4));
    makeFile("2026-12-04/shot_V2.png", at(2026, 12, 4));
    CaptureStore::forgetReservedNames();
    EXPECT_EQ(name(CaptureStore::nextVersionAfter(v3)), "shot_V4.png");
    EXPECT_EQ(QFileInfo(CaptureStore::nextVersionAfter(v3)).absolutePath(), QFileInfo(v3).absolutePath());
    // A name without a version keeps its whole stem.
    const QString plain = makeFile("2026-12-04/plain.png", at(2026, 12, 4));
    EXPECT_EQ(name(CaptureStore::nextVersionAfter(plain)), "plain_V1.png");
}

TEST_F(CaptureStoreNames, NextVersionFailsWhenTheFolderCannotBeMade) {
    makeFile("blocker", at(2026, 1, 1)); // a file where the folder would go
    CaptureStore::setFolder(libraryPath("blocker"));
    EXPECT_THROW(CaptureStore::newFileURL(), StoreError);
}

TEST_F(CaptureStoreNames, LibraryFileTypes) {
    for (const char* ours :
         {"a.png", "a.JPG", "a.jpeg", "a.heic", "a.gif", "a.tiff", "a.mp4", "a.MOV", "a.m4v", "a.pdf"})
        EXPECT_TRUE(CaptureStore::isOurs(ours)) << ours;
    for (const char* other : {"a.json", "a.txt", "a", "a.png.part"})
        EXPECT_FALSE(CaptureStore::isOurs(other)) << other;
    EXPECT_TRUE(CaptureStore::isVideo("x.MP4"));
    EXPECT_FALSE(CaptureStore::isVideo("x.mov"));
}

using CaptureStoreFiles = LibraryTest;

TEST_F(CaptureStoreFiles, SaveWritesWholeFileCreatesFoldersAndAnnouncesOnlyWhenItSaved) {
    QSignalSpy changed(&Notifier::instance(), &Notifier::CaptureStoreDidChange);
    const QString path = libraryPath("2026-12-04/new/deep/pic.png");
    ASSERT_TRUE(CaptureStore::save("PNGBYTES", path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "PNGBYTES");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left beside it";

    makeFile("taken", at(2026, 1, 1));
    EXPECT_FALSE(CaptureStore::save("x", libraryPath("taken/pic.png"))) << "the folder is a file";
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(CaptureStoreFiles, AdoptingTheSameNameTwiceAddsTwoBeforeTheExtension) {
    for (int i = 0; i < 3; ++i) {
        QFile f(dir.filePath("shot.png"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("a");
        f.close();
        const QString adopted = CaptureStore::adopt(dir.filePath("shot.png"));
        const QString expected[] = {"shot.png", "shot 2.png", "shot 3.png"};
        EXPECT_EQ(name(adopted), expected[i]);
        EXPECT_EQ(QFileInfo(adopted).absolutePath(), libraryPath(CaptureStore::dateFolderName()));
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("shot.png"))) << "the source is moved, not copied";
    }
    EXPECT_THROW(CaptureStore::adopt(dir.filePath("missing.png")), StoreError);
}

TEST_F(CaptureStoreFiles, AllListsOurFilesNewestFirstAndSkipsHiddenSidecars) {
    const QString library = CaptureStore::folder();
    CaptureStore::setFolder(dir.filePath("nowhere"));
    EXPECT_TRUE(CaptureStore::all().isEmpty()) << "no library folder yet";
    CaptureStore::setFolder(library);
    const QString old = makeFile("2026-01-01/old.png", at(2026, 1, 1));
    const QString mid = makeFile("2026-06-01/mid.mp4", at(2026, 6, 1));
    const QString top = makeFile("loose.jpg", at(2026, 7, 1));
    for (const char* skipped :
         {".marks/old.png", ".marks/old.json", "2026-06-01/.hidden.png", "2026-06-01/notes.txt"})
        makeFile(skipped, at(2026, 8, 1));
    EXPECT_EQ(CaptureStore::all(), (QStringList{top, mid, old}));
}

TEST_F(CaptureStoreFiles, RecentIsTheNewestThirty) {
    for (int i = 0; i < 35; ++i)
        makeFile(QStringLiteral("2026-01-01/f%1.png").arg(i), at(2026, 1, 1).addSecs(i * 60));
    const QStringList recent = CaptureStore::recent();
    ASSERT_EQ(recent.size(), CaptureStore::shownLimit);
    EXPECT_EQ(name(recent.first()), "f34.png");
    EXPECT_EQ(name(recent.last()), "f5.png");
}

TEST_F(CaptureStoreFiles, OlderCountsWholeDaysFromTheStartOfToday) {
    const QDateTime now = at(2026, 12, 10, 9);
    const QString eightDays = makeFile("a/8.png", at(2026, 12, 2, 23, 59));
    makeFile("a/7.png", at(2026, 12, 3, 0, 0));
    makeFile("a/today.png", at(2026, 12, 10, 1));
    EXPECT_EQ(CaptureStore::older(7, now), QStringList{eightDays});
}

using CaptureStoreSearch = LibraryTest;

TEST_F(CaptureStoreSearch, EveryWordMustMatchTheNameKindDayDateOrTheWordsWrittenOnThePicture) {
    const QDateTime now = at(2026, 12, 4, 10); // a Friday
    const QString video = makeFile("2026-12-03/Ombrel Capture Video_100003122026_V1.mp4", at(2026, 12, 3));
    const QString picture = makeFile("2026-12-03/Ombrel Capture Image_100003122026_V1.png", at(2026, 12, 3));
    const QString crop = makeFile("2026-11-03/Ombrel Capture Crop_100003112026_V1.png", at(2026, 11, 3));
    const QStringList files{video, picture, crop};
    CaptureStore::setWordsReader(
        [&](const QString& path) { return path == picture ? QString("Login Button broken") : QString(); });
    const struct {
        const char* query;
        QStringList found;
    } rows[] = {
        {"yesterday video", {video}},
        {"  DEC  ", {video, picture}},
        {"crop november", {crop}},
        {"03/12/2026 screenshot", {picture}},
        {"thursday", {video, picture}},
        {"login broken", {picture}},
        {"login video", {}},
        {"zebra", {}},
        {"", files}, // no words keep the whole list in order
    };
    for (const auto& row : rows)
        EXPECT_EQ(CaptureStore::search(row.query, files, now), row.found) << row.query;
}

using CaptureStoreTrash = LibraryTest;

TEST_F(CaptureStoreTrash, MoveToTrashAndPutBack) {
    const QString file = makeFile("2026-12-04/pic.png", at(2026, 12, 4));
    QSignalSpy changed(&Notifier::instance(), &Notifier::CaptureStoreDidChange);
    const auto trashed = CaptureStore::moveToTrash(file);
    ASSERT_TRUE(trashed.has_value());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(QFileInfo::exists(*trashed));

    QDir(libraryPath("2026-12-04")).removeRecursively(); // the folder went too: it is made again
    EXPECT_TRUE(CaptureStore::restore(*trashed, file));
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(changed.count(), 2);

    EXPECT_FALSE(CaptureStore::restore(*trashed, file)) << "the trashed file is gone";
    const auto again = CaptureStore::moveToTrash(file);
    makeFile("2026-12-04/pic.png", at(2026, 12, 4));
    EXPECT_FALSE(CaptureStore::restore(*again, file)) << "something stands at the original place";
    EXPECT_TRUE(QFileInfo::exists(*again));
}

TEST_F(CaptureStoreTrash, TrashSkipsFailuresAndAnnouncesOnce) {
    const QString a = makeFile("d/a.png", at(2026, 12, 1));
    const QString b = makeFile("d/b.png", at(2026, 12, 1));
    QSignalSpy changed(&Notifier::instance(), &Notifier::CaptureStoreDidChange);
    CaptureStore::trash({a, libraryPath("d/missing.png"), b});
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_FALSE(QFileInfo::exists(b));
    EXPECT_EQ(changed.count(), 1);
    makeFile("d/c.png", at(2026, 12, 1));
    CaptureStore::clearAll();
    EXPECT_TRUE(CaptureStore::all().isEmpty());
}

using CaptureStoreMaintenance = LibraryTest;

TEST_F(CaptureStoreMaintenance, LooseFilesAreSortedIntoTheirDayFolders) {
    makeFile("a.png", at(2026, 3, 5, 8));
    makeFile("b.mp4", at(2026, 3, 6, 8));
    makeFile("notes.txt", at(2026, 3, 6, 8));
    makeFile("2026-03-05/c.png", at(2026, 1, 1)); // already in a day folder: untouched
    makeFile("2026-03-05/a.png", at(2026, 3, 5)); // a namesake in the target: stays loose
    makeFile("dup.png", at(2026, 3, 7, 8));
    QSignalSpy changed(&Notifier::instance(), &Notifier::CaptureStoreDidChange);
    EXPECT_EQ(CaptureStore::sortIntoDateFolders(), 2);
    EXPECT_TRUE(QFileInfo::exists(libraryPath("2026-03-06/b.mp4")));
    EXPECT_TRUE(QFileInfo::exists(libraryPath("2026-03-07/dup.png")));
    EXPECT_TRUE(QFileInfo::exists(libraryPath("a.png")));
    EXPECT_TRUE(QFileInfo::exists(libraryPath("notes.txt")));
    EXPECT_TRUE(QFileInfo::exists(libraryPath("2026-03-05/c.png")));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(CaptureStore::sortIntoDateFolders(), 0);
    EXPECT_EQ(changed.count(), 1) << "nothing moved, nothing announced";
}

TEST_F(CaptureStoreMaintenance, StrandedRecordingsAreAdoptedAndEmptyOnesDeleted) {
    const QString tmp = dir.filePath("tmp");
    QDir().mkpath(tmp);
    auto write = [&](const QString& n, const QByteArray& bytes) {
        QFile f(tmp + "/" + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("ombrel-recording-A.mp4", "data");
    write("ombrel-recording-B.mp4", "more");
    write("ombrel-recording-empty.mp4", "");
    write("ombrel-recording-C.mov", "data");
    write("other.mp4", "data");
    {
        QFile old(tmp + "/ombrel-recording-empty.mp4"); // left empty by a failed start long ago
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        old.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime);
    }
    // A recording being written (by `ombrel-capture record` beside the program) is never taken,
    // nor one just made whose writer has not started yet.
    write("ombrel-recording-live.mp4", "being written");
    const RecordingFiles::Lease writing(tmp + "/ombrel-recording-live.mp4");
    ASSERT_TRUE(writing.isHeld());
    write("ombrel-recording-new.mp4", "");
    EXPECT_EQ(RecordingFiles::recoverStranded(tmp), 2);
    EXPECT_EQ(QDir(tmp).entryList(QDir::Files),
              (QStringList{"ombrel-recording-C.mov", "ombrel-recording-live.mp4", "ombrel-recording-new.mp4",
                           "other.mp4"}));
    const QStringList videos = CaptureStore::all();
    ASSERT_EQ(videos.size(), 2);
    for (const QString& v : videos)
        EXPECT_TRUE(QFileInfo(v).fileName().startsWith("Ombrel Capture Video_"));
}

TEST_F(CaptureStoreMaintenance, ARecordingIsWrittenIntoAPrivateFileOutsideTheSharedTemporaryFolder) {
    const QString raw = RecordingFiles::newTemporaryFile();
    ASSERT_FALSE(raw.isEmpty());
    EXPECT_TRUE(QFileInfo(raw).fileName().startsWith("ombrel-recording-"));
    EXPECT_FALSE(raw.startsWith(QDir::tempPath() + "/"));
    EXPECT_EQ(QFileInfo(raw).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(QFileInfo(QFileInfo(raw).absolutePath()).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                  QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QFile::remove(raw);
}
