// The OpenCV image analysis on drawn pictures: a bordered button, a photo on a plain page,
// a slanted shape, and how each request parameter narrows what is found.
#include "platform/linux/OpenCvVision.h"

#include "support/TestEnv.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

using namespace ombrel;

namespace {

constexpr int W = 1200, H = 800;
const QRectF button(100, 100, 200, 44);
const QRectF photo(700, 380, 320, 220);

// A light page with a rounded, grey-bordered "Continue" button, a few lines of text, and a
// colourful, busy photo.
QImage page(bool withPhoto = true) {
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 200, 200), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(button.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    p.setFont(font);
    p.setPen(QColor(30, 30, 30));
    p.drawText(button, Qt::AlignCenter, QStringLiteral("Continue"));
    for (int i = 0; i < 6; ++i)
        p.drawText(100, 260 + 30 * i,
                   QStringLiteral("Some words on the page that say very little, line %1").arg(i));
    if (withPhoto) {
        QRandomGenerator random(7);
        QLinearGradient sky(photo.topLeft(), photo.bottomLeft());
        sky.setColorAt(0, QColor(60, 120, 200));
        sky.setColorAt(1, QColor(40, 140, 60));
        p.fillRect(photo, sky);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 60; ++i) {
            p.setBrush(
                QColor::fromHsv(random.bounded(360), 150 + random.bounded(100), 100 + random.bounded(155)));
            const double r = 5 + random.bounded(25);
            p.drawEllipse(QPointF(photo.x() + r + random.bounded(int(photo.width() - 2 * r)),
                                  photo.y() + r + random.bounded(int(photo.height() - 2 * r))),
                          r, r);
        }
    }
    return image;
}

// A normalised box (origin bottom-left) in pixels of the W × H page.
QRectF pixels(const QRectF& b) {
    return QRectF(b.x() * W, (1 - b.bottom()) * H, b.width() * W, b.height() * H);
}

bool near(const QRectF& a, const QRectF& b, double slack) {
    return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack &&
           std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
}

double overlapShare(const QRectF& a, const QRectF& b) {
    const QRectF i = a.intersected(b);
    const QRectF u = a.united(b);
    return i.isEmpty() ? 0 : (i.width() * i.height()) / (u.width() * u.height());
}

std::optional<VisionBox> findNear(const QList<VisionBox>& found, const QRectF& truth, double slack) {
    for (const VisionBox& b : found)
        if (near(pixels(b.box), truth, slack)) return b;
    return std::nullopt;
}

} // namespace

TEST(OpenCvVision, FindsTheBorderedButtonAndThePhotoAsConfidentRectangles) {
    OpenCvVision vision;
    const auto found = vision.rectangles(page(), RectangleRequest{});
    ASSERT_TRUE(found.isOk());
    const auto b = findNear(found.value(), button, 3);
    ASSERT_TRUE(b) << "no rectangle near the button among " << found.value().size();
    EXPECT_GE(b->confidence, 0.8);
    EXPECT_TRUE(findNear(found.value(), photo, 3));
    // Seen once, not once per side of its border line.
    int aroundButton = 0;
    for (const VisionBox& v : found.value())
        aroundButton += near(pixels(v.box), button, 8);
    EXPECT_EQ(aroundButton, 1);
    // The most confident come first.
    for (qsizetype i = 1; i < found.value().size(); ++i)
        EXPECT_GE(found.value()[i - 1].confidence, found.value()[i].confidence);
}

TEST(OpenCvVision, EveryRequestParameterNarrowsTheRectanglesFound) {
    OpenCvVision vision;
    const QImage picture = page();
    RectangleRequest one;
    one.maximumObservations = 1;
    EXPECT_EQ(vision.rectangles(picture, one).value().size(), 1);

    RectangleRequest large; // sides of at least half the page's height: neither is that tall
    large.minimumSize = 0.5;
    EXPECT_TRUE(vision.rectangles(picture, large).value().isEmpty());

    RectangleRequest squarish; // the button is 44 / 200 = 0.22; the photo 220 / 320 = 0.69
    squarish.minimumAspectRatio = 0.5;
    const auto found = vision.rectangles(picture, squarish).value();
    EXPECT_FALSE(findNear(found, button, 3));
    EXPECT_TRUE(findNear(found, photo, 3));

    RectangleRequest sure;
    sure.minimumConfidence = 1.01;
    EXPECT_TRUE(vision.rectangles(picture, sure).value().isEmpty());
}

TEST(OpenCvVision, ASlantedShapeIsARectangleOnlyWithinTheCornerTolerance) {
    // A parallelogram whose corners are 70 and 110 degrees.
    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 2));
    const double slant = 120 / std::tan(70 * M_PI / 180);
    p.drawPolygon(QPolygonF{{100, 100}, {400, 100}, {400 + slant, 220}, {100 + slant, 220}});
    p.end();
    OpenCvVision vision;
    RectangleRequest strict; // 12 degrees
    EXPECT_TRUE(vision.rectangles(image, strict).value().isEmpty());
    RectangleRequest loose;
    loose.quadratureTolerance = 25;
    const auto found = vision.rectangles(image, loose).value();
    ASSERT_FALSE(found.isEmpty());
    EXPECT_TRUE(near(QRectF(found.first().box.x() * 600, (1 - found.first().box.bottom()) * 400,
                            found.first().box.width() * 600, found.first().box.height() * 400),
                     QRectF(100, 100, 300 + slant, 120), 4));
}

TEST(OpenCvVision, ThePhotoOnAPlainPageIsTheSalientObject) {
    OpenCvVision vision;
    const auto found = vision.salientObjects(page());
    ASSERT_TRUE(found.isOk());
    ASSERT_FALSE(found.value().isEmpty());
    const QRectF best = pixels(found.value().first().box);
    EXPECT_GE(overlapShare(best, photo), 0.5)
        << best.x() << "," << best.y() << " " << best.width() << "x" << best.height();
    for (const VisionBox& b : found.value()) {
        EXPECT_GE(b.confidence, 0);
        EXPECT_LE(b.confidence, 1);
    }
}

TEST(OpenCvVision, PlainOrEmptyPicturesGiveNothingOrFail) {
    OpenCvVision vision;
    QImage plain(400, 300, QImage::Format_RGB32);
    plain.fill(Qt::white);
    EXPECT_TRUE(vision.salientObjects(plain).value().isEmpty());
    EXPECT_TRUE(vision.rectangles(plain, {}).value().isEmpty());
    EXPECT_FALSE(vision.rectangles(QImage(), {}).isOk());
    EXPECT_FALSE(vision.salientObjects(QImage()).isOk());
}

// An application window on a desktop: title bar, side bar, paragraphs and a table. The
// saliency map singles out stretches of it (the window's corners, the ends of lines), but
// none stands apart from what surrounds it, so none is an object; a photo added to the
// page is.
TEST(OpenCvVision, StretchesOfAWindowAreNoObjectsButAPhotoInItIs) {
    QImage desktop(W, H, QImage::Format_RGB32);
    desktop.fill(QColor(90, 127, 168));
    {
        QPainter p(&desktop);
        const QRect window(60, 40, 1000, 700);
        p.fillRect(window, Qt::white);
        p.fillRect(QRect(window.topLeft(), QSize(window.width(), 36)), QColor(243, 244, 246));
        p.fillRect(QRect(window.left(), window.top() + 36, 180, window.height() - 36), QColor(247, 247, 248));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        p.setFont(font);
        p.setPen(QColor(31, 35, 40));
        p.drawText(window.left() + 12, window.top() + 24, QStringLiteral("Project settings"));
        for (int i = 0; i < 10; ++i)
            p.drawText(window.left() + 16, window.top() + 70 + 30 * i, QStringLiteral("Menu item %1").arg(i));
        for (int i = 0; i < 12; ++i)
            p.drawText(
                window.left() + 210, window.top() + 70 + 24 * i,
                QStringLiteral("The quick reading answers most searches, line %1 of the page.").arg(i + 1));
        p.setPen(QColor(60, 60, 60));
        for (int r = 0; r < 6; ++r)
            p.drawRect(window.left() + 210, window.top() + 380 + 30 * r, 700, 30);
    }
    OpenCvVision vision;
    const auto found = vision.salientObjects(desktop);
    ASSERT_TRUE(found.isOk());
    for (const VisionBox& b : found.value())
        ADD_FAILURE() << "an object at " << pixels(b.box).x() << "," << pixels(b.box).y() << " "
                      << pixels(b.box).width() << "x" << pixels(b.box).height();

    {
        QPainter p(&desktop);
        QRandomGenerator random(3);
        const QRectF picture(760, 90, 260, 180);
        p.fillRect(picture, QColor(200, 120, 40));
        for (int i = 0; i < 40; ++i)
            p.fillRect(QRectF(picture.x() + random.bounded(220), picture.y() + random.bounded(140), 40, 40),
                       QColor::fromHsv(random.bounded(360), 200, 200));
    }
    const auto withPhoto = vision.salientObjects(desktop);
    ASSERT_TRUE(withPhoto.isOk());
    ASSERT_FALSE(withPhoto.value().isEmpty());
    EXPECT_GE(overlapShare(pixels(withPhoto.value().first().box), QRectF(760, 90, 260, 180)), 0.4);
}
