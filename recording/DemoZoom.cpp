#include "recording/DemoZoom.h"

#include "recording/DemoZoomResample.h"
#include "recording/Reencoder.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QtConcurrent>
#include <algorithm>
#include <cmath>

namespace ombrel::DemoZoom {

namespace {

// The ripple colour (0.43, 0.55, 1.0) in the video's limited-range BT.601 YUV.
constexpr double rippleRed = 0.43, rippleGreen = 0.55, rippleBlue = 1.0;
const double rippleY = 16 + 65.481 * rippleRed + 128.553 * rippleGreen + 24.966 * rippleBlue;
const double rippleU = 128 - 37.797 * rippleRed - 74.203 * rippleGreen + 112.0 * rippleBlue;
const double rippleV = 128 + 112.0 * rippleRed - 93.786 * rippleGreen - 18.214 * rippleBlue;

// Blends the ripple into a YUV 4:2:0 picture, centred on `centre` (pixels, top-left origin).
void drawRipple(AVFrame* f, QPointF centre, double progress) {
    const RippleLook look = rippleLook(progress, f->width);
    if (look.opacity <= 0 || look.outerRadius <= 0) return;
    const auto blendPlane = [&](int plane, int step, double target) {
        const int w = f->width / step;
        const int h = f->height / step;
        const double cx = centre.x() / step;
        const double cy = centre.y() / step;
        const double reach = look.outerRadius / step;
        const int x0 = std::max(0, int(std::floor(cx - reach)));
        const int x1 = std::min(w - 1, int(std::ceil(cx + reach)));
        const int y0 = std::max(0, int(std::floor(cy - reach)));
        const int y1 = std::min(h - 1, int(std::ceil(cy + reach)));
        for (int y = y0; y <= y1; ++y) {
            uint8_t* row = f->data[plane] + qsizetype(y) * f->linesize[plane];
            for (int x = x0; x <= x1; ++x) {
                const double distance = std::hypot(x + 0.5 - cx, y + 0.5 - cy) * step;
                const double a = rippleOpacity(look, distance);
                if (a > 0) row[x] = uint8_t(std::lround(row[x] + (target - row[x]) * a));
            }
        }
    };
    blendPlane(0, 1, rippleY);
    blendPlane(1, 2, rippleU);
    blendPlane(2, 2, rippleV);
}

bool newFrame(AVFrame* f, int w, int h) {
    f->format = AV_PIX_FMT_YUV420P;
    f->width = w;
    f->height = h;
    return av_frame_get_buffer(f, 0) >= 0;
}

} // namespace

RippleLook rippleLook(double progress, double width) {
    const double p = std::clamp(progress, 0.0, 1.0);
    const double outer = width * (0.012 + 0.03 * p);
    return {outer, 0.65 * outer, (1 - p) * 0.55};
}

double rippleOpacity(const RippleLook& look, double distance) {
    if (distance >= look.outerRadius) return 0;
    if (distance <= look.innerRadius) return look.opacity;
    return look.opacity * (look.outerRadius - distance) / (look.outerRadius - look.innerRadius);
}

QRectF sourceRect(const ZoomPlan& plan, double atSeconds, QSize pictureSize) {
    const QRectF yUp = plan.visibleRect(atSeconds, QSizeF(pictureSize));
    return QRectF(yUp.x(), pictureSize.height() - yUp.y() - yUp.height(), yUp.width(), yUp.height());
}

Outcome<bool> render(const ZoomPlan& plan, const QString& from, const QString& to, const Progress& progress) {
    AVFrame* zoomed = av_frame_alloc();
    int width = 0, height = 0;
    Reencoding how;
    how.noun = QStringLiteral("the zoomed video");
    how.progress = progress;
    how.prepare = [&](QSize size, QString& failure) {
        width = size.width();
        height = size.height();
        if (zoomed && newFrame(zoomed, width, height)) return size;
        failure = QStringLiteral("Out of memory.");
        return QSize();
    };
    how.eachPicture = [&](AVFrame* picture, double t, QString& failure) -> AVFrame* {
        // The ripple goes on before the zoom, so it is magnified with the picture.
        if (const auto ripple = plan.ripple(t, QSizeF(width, height))) {
            if (av_frame_make_writable(picture) < 0) { // the decoder may still refer to it
                failure = QStringLiteral("Out of memory.");
                return nullptr;
            }
            const QPointF centre(ripple->pointPixelsYUp.x(), height - ripple->pointPixelsYUp.y());
            drawRipple(picture, centre, ripple->progress);
        }
        // Cropped at the camera's own fractional position, so that slow glides move smoothly.
        const QRectF shown = sourceRect(plan, t, QSize(width, height));
        if (shown.width() >= width && shown.height() >= height) return picture;
        if (av_frame_make_writable(zoomed) < 0) {
            failure = QStringLiteral("Out of memory.");
            return nullptr;
        }
        resamplePicture(picture, shown, zoomed);
        return zoomed;
    };
    const Outcome<bool> result = reencode(from, to, how);
    av_frame_free(&zoomed);
    return result;
}

QFuture<Outcome<bool>> apply(ZoomPlan plan, QString from, QString to, Progress progress) {
    return QtConcurrent::run([plan = std::move(plan), from = std::move(from), to = std::move(to),
                              progress = std::move(progress)] { return render(plan, from, to, progress); });
}

} // namespace ombrel::DemoZoom
