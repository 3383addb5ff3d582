// The read command: its arguments, its failures, and the JSON of a find and of Auto-Blur.
#include "understanding/ReadCommand.h"

#include "support/TestEnv.h"

#include <QFont>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

using namespace ombrel;

namespace {

QJsonObject run(const QStringList& args, int expectedCode = 0) {
    testing::internal::CaptureStdout();
    const int code = readCommand(args);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, expectedCode);
    return QJsonDocument::fromJson(QByteArray::fromStdString(printed)).object();
}

} // namespace

TEST(ReadCommand, PrintsLinesFindsAndPrivateAreasAsJson) {
    QTemporaryDir dir;
    QImage picture(700, 200, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter p(&picture);
        QFont font("DejaVu Sans");
        font.setPixelSize(18);
        p.setFont(font);
        p.drawText(30, 60, "Write to ada@example.com today");
        p.drawText(30, 140, "Save changes");
    }
    const QString file = dir.filePath("page.png");
    ASSERT_TRUE(picture.save(file));

    const QJsonArray lines = run({file}).value("lines").toArray();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1].toObject().value("text").toString(), "Save changes");
    EXPECT_EQ(lines[1].toObject().value("box").toArray().size(), 4);

    const QJsonObject found = run({file, "--find", "save"});
    EXPECT_EQ(found.value("query").toString(), "save");
    ASSERT_EQ(found.value("rects").toArray().size(), 1);
    EXPECT_NEAR(found.value("rects").toArray()[0].toArray()[1].toDouble(), 140 - 14 - 8, 6);

    const QJsonArray blurred = run({file, "--private"}).value("rects").toArray();
    ASSERT_EQ(blurred.size(), 1);
    EXPECT_GT(blurred[0].toArray()[0].toDouble(), 80); // the address, not "Write to"

    run({}, 2);
    run({file, "--find"}, 2);
    run({file, "--find", "x", "--private"}, 2);
    run({file, "--loud"}, 2);
    run({dir.filePath("missing.png")}, 1);
}
