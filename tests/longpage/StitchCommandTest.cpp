#include "longpage/StitchCommand.h"
#include "StitchPages.h"
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
        for (int offset : {0, 90, 200}) {
            framePaths.append(path(QString("frame-%1.png").arg(offset)));
            ASSERT_TRUE(page.frame(header, offset, 240, footer).save(framePaths.last()));
        }
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir dir;
    GreyRows page{900, 77}, header{60, 78}, footer{40, 79};
    QStringList framePaths;
};

} // namespace

TEST_F(StitchCommand, WritesTheStitchedPictureAndNothingElse) {
    const QString out = path("long.png");
    ASSERT_EQ(stitchCommand(framePaths + QStringList{"--output", out}), 0);

    // The header once, the page's first 440 rows, no footer.
    EXPECT_EQ(firstDifferentRow(QImage(out), page.frame(header, 0, 440, GreyRows(0, 0))), -1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), framePaths.size() + 1)
        << "no temporary file is left beside it";

    // The output's extension picks the format.
    const QString jpeg = path("long.jpg");
    ASSERT_EQ(stitchCommand(framePaths + QStringList{"--output=" + jpeg}), 0);
    QFile file(jpeg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(3) == QByteArray("\xff\xd8\xff"));
}

TEST_F(StitchCommand, WrongArgumentsUnreadableFramesOrAnUnwritableOutputFailAndWriteNothing) {
    const QString out = path("long.png"), garbage = path("garbage.png"), o = "--output";
    write("garbage.png", "not a picture at all");
    const QList<std::pair<QStringList, int>> rows{
        {{}, 2},
        {framePaths, 2}, // no output
        {{o, out}, 2},   // no frames
        {framePaths + QStringList{o}, 2},
        {framePaths + QStringList{"--frobnicate", o, out}, 2},
        {{framePaths[0], path("missing.png"), o, out}, 1},
        {{framePaths[0], garbage, o, out}, 1},
        {framePaths + QStringList{o, path("no/such/folder/a.png")}, 1},
    };
    for (const auto& [args, code] : rows)
        EXPECT_EQ(stitchCommand(args), code) << args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(out));

    // An old picture at the output stays as it was when stitching fails.
    write("long.png", "old");
    EXPECT_EQ(stitchCommand({garbage, o, out}), 1);
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
}
