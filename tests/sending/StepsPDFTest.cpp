#include "ShareFixture.h"

#include "library/CaptureStore.h"
#include "sending/ShareCommands.h"
#include "sending/StepsPDF.h"

#include <QRegularExpression>
#include <QTest>

using namespace ombrel;
using ombrel::test::ShareTest;

class StepsPDFTest : public ShareTest {
  protected:
    // The file the document was opened from, once it has been.
    QString waitForOpened() {
        if (!QTest::qWaitFor([this] { return !platform.workspace->opened.isEmpty(); }, 20000)) return {};
        return platform.workspace->opened.first().toLocalFile();
    }
};

TEST_F(StepsPDFTest, ThreePicturesAndARecordingMakeThreeNumberedStepsInTheLibrary) {
    const QStringList files{picture("one.png", Qt::red), file("talk.mp4"), picture("two.png", Qt::green),
                            picture("three.png", Qt::blue, QSize(600, 900))};
    StepsPDF::make(files);
    const QString pdf = waitForOpened();
    ASSERT_FALSE(pdf.isEmpty()) << "the document is opened with the default application";
    EXPECT_TRUE(alerts.isEmpty());

    const QFileInfo info(pdf);
    EXPECT_EQ(info.absolutePath(), libraryPath(CaptureStore::dateFolderName()));
    EXPECT_TRUE(
        QRegularExpression("^Ombrel Capture Steps_[0-9]{12}_V1\\.pdf$").match(info.fileName()).hasMatch())
        << info.fileName().toStdString();
    EXPECT_TRUE(CaptureStore::all().contains(info.absoluteFilePath())) << "it is part of the library";

    for (int page = 1; page <= 3; ++page) {
        const QString text = pageText(pdf, page);
        EXPECT_TRUE(text.contains(QStringLiteral("Step %1 of 3").arg(page))) << text.toStdString();
    }
    const QString details = run("pdfinfo", {pdf});
    EXPECT_TRUE(details.contains(QRegularExpression("Pages: +3\\n"))) << details.toStdString();
    EXPECT_TRUE(details.contains(QRegularExpression("Page size: +595 x 842 pts \\(A4\\)")))
        << details.toStdString();
}

TEST_F(StepsPDFTest, ThePictureFillsTheWidthBetweenTheMarginsUnderTheHeadingAndAboveTheFooter) {
    const QString pdf = dir.filePath("wide.pdf");
    QImage wide(2400, 1350, QImage::Format_RGB32);
    wide.fill(Qt::red);
    QImage tall(400, 3000, QImage::Format_RGB32);
    tall.fill(Qt::blue);
    ASSERT_TRUE(StepsPDF::write({wide, tall}, "Steps", pdf));
    run("pdftoppm", {"-r", "72", "-png", pdf, dir.filePath("page")});

    // The box of the pixels of a colour on a page drawn at a point per pixel.
    auto box = [](const QImage& page, QRgb colour) {
        QRect found;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb p = page.pixel(x, y);
                if (std::abs(qRed(p) - qRed(colour)) + std::abs(qGreen(p) - qGreen(colour)) +
                        std::abs(qBlue(p) - qBlue(colour)) <
                    60)
                    found |= QRect(x, y, 1, 1);
            }
        return found;
    };
    const QImage first(dir.filePath("page-1.png")), second(dir.filePath("page-2.png"));
    ASSERT_EQ(first.size(), QSize(595, 842));
    const QRect red = box(first, qRgb(255, 0, 0));
    EXPECT_NEAR(red.left(), 36, 1);
    EXPECT_NEAR(red.right(), 595 - 36, 2);
    EXPECT_NEAR(double(red.width()) / red.height(), 2400.0 / 1350, 0.02) << "its shape is kept";
    const QRect heading = box(first.copy(0, 0, 595, red.top()), qRgb(0, 0, 0));
    EXPECT_GE(heading.top(), 30) << "the heading sits at the top margin";
    EXPECT_LT(heading.bottom(), red.top()) << "the heading is above the picture";

    const QRect blue = box(second, qRgb(0, 0, 255));
    const QRect footer =
        box(second.copy(0, blue.bottom() + 1, 595, 842 - blue.bottom() - 1), qRgb(128, 128, 128));
    EXPECT_FALSE(footer.isEmpty()) << "the footer is below the tall picture";
    EXPECT_LE(blue.bottom() + 1 + footer.bottom(), 842 - 30) << "and above the bottom margin";
    EXPECT_NEAR((blue.left() + blue.right()) / 2.0, 595 / 2.0, 1.5) << "a narrow picture is centred";
}

TEST_F(StepsPDFTest, WithoutPicturesTheAlertSaysSoAndNoDocumentIsMade) {
    StepsPDF::make({file("talk.mp4"), file("demo.mp4")});
    EXPECT_EQ(alerts, QStringList{"Couldn't make the document\nThere were no pictures to put in it."});

    // Files that turn out not to be pictures are found out while the document is made.
    alerts.clear();
    StepsPDF::make({file("broken.png", "not a PNG at all")});
    ASSERT_TRUE(QTest::qWaitFor([] { return !alerts.isEmpty(); }, 10000));
    EXPECT_TRUE(alerts.first().startsWith("Couldn't make the document\n"));
    EXPECT_TRUE(platform.workspace->opened.isEmpty());
    EXPECT_TRUE(CaptureStore::all().isEmpty()) << "no empty document is left in the library";
}

TEST_F(StepsPDFTest, TheCommandLineMakesTheDocumentAndSavesCopies) {
    const QString a = picture("a.png"), b = picture("b.png"), out = dir.filePath("out/steps.pdf");
    QDir().mkpath(dir.filePath("out"));
    EXPECT_EQ(stepsCommand({a, b, "--output", out}), 0);
    EXPECT_TRUE(run("pdfinfo", {out}).contains(QRegularExpression("Pages: +2\\n")));
    EXPECT_EQ(stepsCommand({file("talk.mp4")}), 1) << "no pictures";
    EXPECT_EQ(stepsCommand({a, "--output"}), 2);
    EXPECT_EQ(stepsCommand({dir.filePath("missing.png")}), 2);

    const QString to = folder("USB stick");
    EXPECT_EQ(saveCopyCommand({a, "--to", to}), 0);
    EXPECT_EQ(saveCopyCommand({a, b, "--to=" + to}), 0);
    EXPECT_EQ(QDir(to + "/Ombrel Capture").entryList(QDir::Files),
              (QStringList{"a 2.png", "a.png", "b.png"}));
    EXPECT_EQ(saveCopyCommand({a}), 2) << "no folder given";
    EXPECT_EQ(saveCopyCommand({a, "--to", dir.filePath("nowhere")}), 2);
}
