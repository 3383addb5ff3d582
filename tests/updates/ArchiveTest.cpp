// Unpacking update archives that have not been checked yet: everything stays inside the
// working folder, whatever the archive says.
#include "updates/Archive.h"
#include "UpdateFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

using namespace ombrel;
using ombrel::test::snapshot;
using ombrel::test::writeFile;

namespace {

struct Entry {
    QByteArray name;
    mode_t type = AE_IFREG;
    QByteArray content; // a link's target for AE_IFLNK; the hard link's target for hardLink
    bool hardLink = false;
};

void writeArchive(const QString& path, const QList<Entry>& entries, bool zip = false) {
    archive* a = archive_write_new();
    zip ? archive_write_set_format_zip(a) : archive_write_set_format_pax_restricted(a);
    archive_write_open_filename(a, QFile::encodeName(path).constData());
    for (const Entry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.constData());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, 0644);
        if (e.hardLink) {
            archive_entry_set_hardlink(entry, e.content.constData());
        } else if (e.type == AE_IFLNK) {
            archive_entry_set_symlink(entry, e.content.constData());
        } else if (e.type == AE_IFREG) {
            archive_entry_set_size(entry, e.content.size());
        }
        archive_write_header(a, entry);
        if (e.type == AE_IFREG && !e.hardLink)
            archive_write_data(a, e.content.constData(), size_t(e.content.size()));
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
}

} // namespace

class ArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        into = dir.filePath(QStringLiteral("work/unpacked"));
        ASSERT_TRUE(QDir().mkpath(into));
        // Something beside the working folder that an escaping entry would overwrite.
        writeFile(dir.filePath(QStringLiteral("work/keep.txt")), "keep");
        writeFile(dir.filePath(QStringLiteral("outside.txt")), "outside");
    }
    // Everything in the test's folder but the working folder's contents.
    QStringList outside() {
        QStringList all = snapshot(dir.path());
        all.removeIf([](const QString& line) { return line.startsWith(QStringLiteral("/work/unpacked/")); });
        return all;
    }
    // Unpacks entries into an empty working folder and answers the message; checks that
    // nothing outside the working folder changed.
    QString unpack(const QList<Entry>& entries, bool zip = false, qint64 limit = Archive::maxUnpackedBytes) {
        QDir(into).removeRecursively();
        QDir().mkpath(into);
        const QString archivePath = dir.filePath(QStringLiteral("update.archive"));
        writeArchive(archivePath, entries, zip);
        const auto before = outside();
        const QString message = Archive::unpack(archivePath, into, limit);
        EXPECT_EQ(outside(), before) << "the archive changed something outside its folder";
        return message;
    }

    QTemporaryDir dir;
    QString into;
};

TEST_F(ArchiveTest, EntriesOutsideTheFolderOrOfAnotherKindAreRefused) {
    const QByteArray outsideFile = QFile::encodeName(dir.filePath(QStringLiteral("outside.txt")));
    const QString outsidePath = QStringLiteral("“%1”, a path outside its folder.");
    const QString outsideLink = QStringLiteral("a link “%1” that points outside its folder.");
    const QString otherKind = QStringLiteral("“%1”, which is not a file, folder or link.");
    const struct {
        QList<Entry> entries;
        QString holds;   // the message after "The update holds "
        bool zip = true; // also tried in a zip, which cannot hold other kinds
    } cases[]{
        {{{"ombrel-capture/../../outside.txt", AE_IFREG, "x"}},
         outsidePath.arg("ombrel-capture/../../outside.txt")},
        {{{"../keep.txt", AE_IFREG, "x"}}, outsidePath.arg("../keep.txt")},
        {{{outsideFile, AE_IFREG, "x"}}, outsidePath.arg(QFile::decodeName(outsideFile))},
        {{{"ombrel-capture/share/evil", AE_IFLNK, "../../../outside.txt"}},
         outsideLink.arg("ombrel-capture/share/evil")},
        {{{"ombrel-capture/passwd", AE_IFLNK, "/etc/passwd"}}, outsideLink.arg("ombrel-capture/passwd")},
        {{{"ombrel-capture/tty", AE_IFCHR, {}}}, otherKind.arg("ombrel-capture/tty"), false},
        {{{"ombrel-capture/a", AE_IFREG, "a"}, {"ombrel-capture/b", AE_IFREG, "/etc/passwd", true}},
         otherKind.arg("ombrel-capture/b"),
         false},
    };
    for (bool zip : {false, true})
        for (const auto& c : cases)
            if (c.zip || !zip)
                EXPECT_EQ(unpack(c.entries, zip), QStringLiteral("The update holds ") + c.holds) << zip;
    EXPECT_TRUE(unpack({{"ombrel-capture/a", AE_IFREG, "1"}, {"ombrel-capture/a", AE_IFREG, "2"}})
                    .startsWith(QStringLiteral("The update holds “ombrel-capture/a” twice")));
}

TEST_F(ArchiveTest, NothingIsWrittenThroughALinkEvenOnePointingInside) {
    EXPECT_EQ(unpack({{"ombrel-capture/share", AE_IFDIR, {}},
                      {"ombrel-capture/lib", AE_IFLNK, "share"},
                      {"ombrel-capture/lib/x", AE_IFREG, "x"}}),
              QStringLiteral("The update writes through “ombrel-capture/lib”, which is not a folder."));
    EXPECT_EQ(QFile::symLinkTarget(into + QStringLiteral("/ombrel-capture/lib")),
              into + QStringLiteral("/ombrel-capture/share"));
    EXPECT_FALSE(QFileInfo::exists(into + QStringLiteral("/ombrel-capture/share/x")));
}

TEST_F(ArchiveTest, UnpackingStopsAtTheSizeLimit) {
    const QByteArray block(600 * 1024, 'z'); // compresses well, as a bomb would
    EXPECT_EQ(
        unpack({{"ombrel-capture/a", AE_IFREG, block}, {"ombrel-capture/b", AE_IFREG, block}}, true, 1 << 20),
        QStringLiteral("The update unpacks to more than 1 MB."));
    EXPECT_EQ(unpack({{"ombrel-capture/a", AE_IFREG, block}}, true, 1 << 20), QString());
}

TEST_F(ArchiveTest, APackedBundleUnpacksAsItWas) {
    const QString bundle = dir.filePath(QStringLiteral("bundle"));
    ombrel::test::makeBundle(bundle, QStringLiteral("2.0"));
    for (const QString& name : {QStringLiteral("update.zip"), QStringLiteral("update.tar.xz")}) {
        const QString archivePath = dir.filePath(name);
        ASSERT_EQ(Archive::pack(bundle, QStringLiteral("ombrel-capture"), archivePath), QString());
        QDir(into).removeRecursively();
        QDir().mkpath(into);
        ASSERT_EQ(Archive::unpack(archivePath, into), QString()) << name.toStdString();
        EXPECT_EQ(snapshot(into + QStringLiteral("/ombrel-capture")), snapshot(bundle)) << name.toStdString();
    }
}

TEST_F(ArchiveTest, ADamagedArchiveIsReported) {
    const QString archivePath = dir.filePath(QStringLiteral("update.archive"));
    writeArchive(archivePath, {{"ombrel-capture/a", AE_IFREG, QByteArray(100000, 'a')}}, true);
    ASSERT_TRUE(QFile::resize(archivePath, QFileInfo(archivePath).size() / 2));
    EXPECT_TRUE(
        Archive::unpack(archivePath, into).startsWith(QStringLiteral("The update archive is damaged")));
}
