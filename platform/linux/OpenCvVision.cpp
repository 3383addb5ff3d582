#include "OpenCvVision.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/saliency.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace ombrel {

namespace {

// The picture as an 8-bit grey matrix that owns its pixels.
cv::Mat greyOf(const QImage& picture) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    return view.clone();
}

// A box in pixels of a w × h picture (top-left origin, y downward), normalised with the
// origin at the bottom left.
QRectF normalised(const QRectF& pixels, double w, double h) {
    return QRectF(pixels.x() / w, (h - pixels.bottom()) / h, pixels.width() / w, pixels.height() / h);
}

double length(cv::Point2f a, cv::Point2f b) {
    return std::hypot(double(a.x - b.x), double(a.y - b.y));
}

// The angle at corner b between the sides to a and c, in degrees.
double cornerAngle(cv::Point2f a, cv::Point2f b, cv::Point2f c) {
    const double ux = a.x - b.x, uy = a.y - b.y, vx = c.x - b.x, vy = c.y - b.y;
    const double cosine = (ux * vx + uy * vy) / std::max(1e-9, std::hypot(ux, uy) * std::hypot(vx, vy));
    return std::acos(std::clamp(cosine, -1.0, 1.0)) * 180.0 / M_PI;
}

// The share of the quadrilateral's outline, sampled every pixel, that lies on an edge of
// the picture (`support` is the edge map widened by the reach).
double edgeSupport(const std::array<cv::Point2f, 4>& quad, const cv::Mat& support) {
    int samples = 0, backed = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f a = quad[size_t(i)], b = quad[size_t((i + 1) % 4)];
        const int steps = std::max(1, int(std::ceil(length(a, b))));
        for (int s = 0; s < steps; ++s) {
            const double t = double(s) / steps;
            const int x = int(std::lround(a.x + (b.x - a.x) * t));
            const int y = int(std::lround(a.y + (b.y - a.y) * t));
            ++samples;
            if (x >= 0 && y >= 0 && x < support.cols && y < support.rows && support.at<uchar>(y, x)) ++backed;
        }
    }
    return samples ? double(backed) / samples : 0;
}

// The four corners of an outline when it is a convex quadrilateral, or a rectangle with
// rounded corners; none otherwise.
std::optional<std::array<cv::Point2f, 4>> quadrilateral(const std::vector<cv::Point>& contour) {
    const double perimeter = cv::arcLength(contour, true);
    std::vector<cv::Point> polygon;
    cv::approxPolyDP(contour, polygon, OpenCvVision::polygonTolerance * perimeter, true);
    std::array<cv::Point2f, 4> corners;
    if (polygon.size() == 4 && cv::isContourConvex(polygon)) {
        for (size_t i = 0; i < 4; ++i)
            corners[i] = cv::Point2f(polygon[i]);
        return corners;
    }
    if (polygon.size() < 4) return std::nullopt;
    // Rounded corners leave extra vertices; such an outline fills its enclosing rectangle.
    const cv::RotatedRect box = cv::minAreaRect(contour);
    const double boxArea = double(box.size.width) * box.size.height;
    if (boxArea <= 0 || std::abs(cv::contourArea(contour)) < OpenCvVision::roundedFill * boxArea)
        return std::nullopt;
    cv::Point2f points[4];
    box.points(points);
    for (size_t i = 0; i < 4; ++i)
        corners[i] = points[i];
    return corners;
}

// How unlike its surroundings a box of the picture looks: the Bhattacharyya distance
// between the colours inside the box and those of a ring around it (0 alike, 1 nothing in
// common). A photo or a logo on a page is unlike the page around it; a stretch of the page
// itself (a window's corner, the ends of some lines of text) is made of the same colours
// as its surroundings, whatever the saliency map made of it.
double unlikeSurroundings(const cv::Mat& bgr, const cv::Rect& box, int ring) {
    const cv::Rect all(0, 0, bgr.cols, bgr.rows);
    const cv::Rect inner = box & all;
    const cv::Rect outer =
        cv::Rect(box.x - ring, box.y - ring, box.width + 2 * ring, box.height + 2 * ring) & all;
    if (inner.empty() || outer.area() <= inner.area()) return 0;
    cv::Mat ringMask(bgr.size(), CV_8UC1, cv::Scalar(0));
    ringMask(outer).setTo(255);
    ringMask(inner).setTo(0);
    cv::Mat insideMask(bgr.size(), CV_8UC1, cv::Scalar(0));
    insideMask(inner).setTo(255);
    const int channels[] = {0, 1, 2};
    const int bins[] = {8, 8, 8};
    const float range[] = {0, 256};
    const float* ranges[] = {range, range, range};
    cv::Mat inside, around;
    cv::calcHist(&bgr, 1, channels, insideMask, inside, 3, bins, ranges);
    cv::calcHist(&bgr, 1, channels, ringMask, around, 3, bins, ranges);
    cv::normalize(inside, inside, 1, 0, cv::NORM_L1);
    cv::normalize(around, around, 1, 0, cv::NORM_L1);
    return cv::compareHist(inside, around, cv::HISTCMP_BHATTACHARYYA);
}

bool sameRectangle(const QRectF& a, const QRectF& b, double slack) {
    return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack &&
           std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
}

} // namespace

Outcome<QList<VisionBox>> OpenCvVision::rectangles(const QImage& picture, const RectangleRequest& request) {
    if (picture.isNull() || picture.width() < 2 || picture.height() < 2)
        return Outcome<QList<VisionBox>>::fail(Failure::Permanent, QStringLiteral("The picture is empty."));
    const cv::Mat grey = greyOf(picture);
    const double w = grey.cols, h = grey.rows;

    cv::Mat edges;
    cv::Canny(grey, edges, edgeLow, edgeHigh);
    // Closing one-pixel gaps lets an anti-aliased or dashed border make one outline.
    cv::Mat closed;
    cv::dilate(edges, closed, cv::Mat());
    cv::Mat support;
    cv::dilate(edges, support,
               cv::getStructuringElement(cv::MORPH_RECT, {2 * supportReach + 1, 2 * supportReach + 1}));

    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(closed, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);

    const double shortestSide = request.minimumSize * std::min(w, h);
    struct Found {
        QRectF pixels;
        double confidence;
    };
    std::vector<Found> found;
    for (const auto& contour : contours) {
        const cv::Rect bounds = cv::boundingRect(contour);
        if (std::min(bounds.width, bounds.height) < shortestSide) // letters and specks
            continue;
        const auto quad = quadrilateral(contour);
        if (!quad) continue;
        const auto& q = *quad;
        bool square = true;
        for (size_t i = 0; i < 4 && square; ++i)
            square = std::abs(cornerAngle(q[(i + 3) % 4], q[i], q[(i + 1) % 4]) - 90.0) <=
                     request.quadratureTolerance;
        if (!square) continue;
        const double sideA = (length(q[0], q[1]) + length(q[2], q[3])) / 2;
        const double sideB = (length(q[1], q[2]) + length(q[3], q[0])) / 2;
        const double shorter = std::min(sideA, sideB), longer = std::max(sideA, sideB);
        if (shorter < shortestSide || longer <= 0 || shorter / longer < request.minimumAspectRatio) continue;
        // Confidence: the share of the rectangle's outline that the picture really draws.
        // A bordered button or card scores near 1; an outline pieced together from the
        // edges of unrelated things (a row of words, a photo's contents) leaves gaps along
        // its sides and scores low, so the threshold cuts exactly those guesses.
        const double confidence = edgeSupport(q, support);
        if (confidence < request.minimumConfidence) continue;
        float x0 = q[0].x, x1 = q[0].x, y0 = q[0].y, y1 = q[0].y;
        for (const auto& p : q) {
            x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
        }
        // Corner points are pixel indices: the last row and column are part of the box.
        const QRectF pixels = QRectF(QPointF(std::max(0.f, x0), std::max(0.f, y0)),
                                     QPointF(std::min(float(w), x1 + 1), std::min(float(h), y1 + 1)));
        found.push_back({pixels, confidence});
    }

    // Most confident first; of equal ones the larger (the outer outline of a border).
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.confidence != b.confidence) return a.confidence > b.confidence;
        return a.pixels.width() * a.pixels.height() > b.pixels.width() * b.pixels.height();
    });
    QList<VisionBox> out;
    QList<QRectF> kept;
    for (const Found& f : found) {
        if (out.size() >= request.maximumObservations) break;
        if (std::any_of(kept.begin(), kept.end(),
                        [&](const QRectF& k) { return sameRectangle(k, f.pixels, sameRectangleSlack); }))
            continue;
        kept.append(f.pixels);
        out.append({normalised(f.pixels, w, h), f.confidence});
    }
    return Outcome<QList<VisionBox>>::ok(out);
}

Outcome<QList<VisionBox>> OpenCvVision::salientObjects(const QImage& picture) {
    if (picture.isNull() || picture.width() < 2 || picture.height() < 2)
        return Outcome<QList<VisionBox>>::fail(Failure::Permanent, QStringLiteral("The picture is empty."));
    const double w = picture.width(), h = picture.height();
    const int mapWidth = std::min(saliencyWidth, picture.width());
    const int mapHeight = std::max(1, int(std::lround(h * mapWidth / w)));

    cv::Mat small;
    cv::resize(greyOf(picture), small, {mapWidth, mapHeight}, 0, 0, cv::INTER_AREA);
    cv::Scalar greyMean, greyDeviation;
    cv::meanStdDev(small, greyMean, greyDeviation);
    // A plain picture: the saliency of a flat spectrum is rounding noise, not objects.
    if (greyDeviation[0] < plainDeviation) return Outcome<QList<VisionBox>>::ok({});
    auto spectral = cv::saliency::StaticSaliencySpectralResidual::create();
    spectral->setImageWidth(mapWidth);
    spectral->setImageHeight(mapHeight);
    cv::Mat map;
    if (!spectral->computeSaliency(small, map) || map.empty())
        return Outcome<QList<VisionBox>>::fail(Failure::Permanent,
                                               QStringLiteral("The picture could not be analysed."));
    map.convertTo(map, CV_32F);
    if (map.size() != small.size()) cv::resize(map, map, small.size(), 0, 0, cv::INTER_LINEAR);

    cv::Scalar mean, deviation;
    cv::meanStdDev(map, mean, deviation);
    if (deviation[0] <= 1e-9) return Outcome<QList<VisionBox>>::ok({});
    cv::Mat salient = map > (mean[0] + salientDeviations * deviation[0]);
    // The saliency of a photo gathers at its inner edges; closing joins them into one blob.
    cv::morphologyEx(salient, salient, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, {5, 5}));

    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(salient, labels, stats, centroids, 8, CV_32S);
    struct Found {
        QRectF pixels;
        double weight, confidence;
    };
    std::vector<Found> found;
    double maximum = 0;
    cv::minMaxLoc(map, nullptr, &maximum);
    // The colours at the map's scale, for telling objects from stretches of the page.
    cv::Mat colours;
    {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        const cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                           size_t(rgb.bytesPerLine()));
        cv::resize(view, colours, small.size(), 0, 0, cv::INTER_AREA);
    }
    for (int i = 1; i < count; ++i) {
        const int x = stats.at<int>(i, cv::CC_STAT_LEFT), y = stats.at<int>(i, cv::CC_STAT_TOP);
        const int bw = stats.at<int>(i, cv::CC_STAT_WIDTH), bh = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if (bw < smallestObjectCells || bh < smallestObjectCells) continue;
        const int ring = std::max(2, std::max(bw, bh) / 4);
        if (unlikeSurroundings(colours, cv::Rect(x, y, bw, bh), ring) < standsApart) continue;
        const cv::Mat inside = labels(cv::Rect(x, y, bw, bh)) == i;
        const double cells = cv::countNonZero(inside);
        const double meanSaliency = cv::mean(map(cv::Rect(x, y, bw, bh)), inside)[0];
        const double sx = w / mapWidth, sy = h / mapHeight;
        const QRectF pixels(x * sx, y * sy, bw * sx, bh * sy);
        // Confidence: how strongly the object stands out, its mean saliency against the
        // map's peak.
        found.push_back(
            {pixels, meanSaliency * cells, maximum > 0 ? std::clamp(meanSaliency / maximum, 0.0, 1.0) : 0});
    }
    // Most salient first: the object that gathers the most saliency.
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.weight > b.weight; });
    // A blob touching a more salient object is a fringe of it (the saliency of a photo's
    // border spills over its edge), not an object of its own.
    QList<VisionBox> out;
    QList<QRectF> kept;
    for (const Found& f : found) {
        if (out.size() >= maximumObjects) break;
        if (std::any_of(kept.begin(), kept.end(), [&](const QRectF& k) { return k.intersects(f.pixels); }))
            continue;
        kept.append(f.pixels);
        out.append({normalised(f.pixels, w, h), f.confidence});
    }
    return Outcome<QList<VisionBox>>::ok(out);
}

} // namespace ombrel
