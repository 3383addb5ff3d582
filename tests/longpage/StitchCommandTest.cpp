#include "longpage/StitchCommand.h"
#include "StitchPages.h"
#include "longpage/ScrollStitcher.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace ombrel;
using namespace ombrel::test;

namespace {

class StitchCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        window = TextWindow::make(400, 900, 20, 240, 77);
        for (int offset : {0, 90, 200}) {
            const QString path = dir.filePath(QStringLiteral("frame-%1.png").arg(offset));
            ASSERT_TRUE(window.frameAt(offset).save(path));
            framePaths.append(path);
        }
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    TextWindow window;
    QStringList framePaths;
};

} // namespace

TEST_F(StitchCommand, WritesTheSamePictureAsTheStitcherAndNothingElse) {
    const QString out = path(QStringLiteral("long.png"));
    ASSERT_EQ(stitchCommand(framePaths + QStringList{QStringLiteral("--output"), out}), 0);

    ScrollStitcher stitcher;
    for (int offset : {0, 90, 200})
        stitcher.add(window.frameAt(offset));
    const QImage written(out);
    ASSERT_EQ(written.size(), stitcher.finished().size());
    EXPECT_EQ(firstDifferentRow(written, stitcher.finished()), -1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), framePaths.size() + 1)
        << "no temporary file is left beside it";

    // The output's extension picks the format.
    const QString jpeg = path(QStringLiteral("long.jpg"));
    ASSERT_EQ(stitchCommand(framePaths + QStringList{QStringLiteral("--output=") + jpeg}), 0);
    QFile file(jpeg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(3) == QByteArray("\xff\xd8\xff"));
}

TEST_F(StitchCommand, MissingOrUnreadableFrameFailsAndWritesNothing) {
    const QString out = path(QStringLiteral("long.png"));
    const QString garbage = path(QStringLiteral("garbage.png"));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture at all");
    file.close();

    EXPECT_EQ(
        stitchCommand({framePaths[0], path(QStringLiteral("missing.png")), QStringLiteral("--output"), out}),
        1);
    EXPECT_EQ(stitchCommand({framePaths[0], garbage, QStringLiteral("--output"), out}), 1);
    EXPECT_FALSE(QFile::exists(out));

    // An old picture at the output stays as it was when stitching fails.
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    EXPECT_EQ(stitchCommand({garbage, QStringLiteral("--output"), out}), 1);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
}

TEST_F(StitchCommand, WrongArgumentsOrUnwritableOutputFail) {
    EXPECT_EQ(stitchCommand({}), 2);
    EXPECT_EQ(stitchCommand(framePaths), 2) << "no output";
    EXPECT_EQ(stitchCommand({QStringLiteral("--output"), path(QStringLiteral("a.png"))}), 2) << "no frames";
    EXPECT_EQ(stitchCommand(framePaths + QStringList{QStringLiteral("--output")}), 2);
    EXPECT_EQ(stitchCommand(framePaths + QStringList{QStringLiteral("--frobnicate")}), 2);
    EXPECT_EQ(stitchCommand(framePaths + QStringList{QStringLiteral("--output"),
                                                     path(QStringLiteral("no/such/folder/a.png"))}),
              1);
}
