#include "video/VideoRenderer.h"

#include "recording/Reencoder.h"
#include "video/CaptionPainter.h"
#include "video/VideoNotes.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QPainter>
#include <QtConcurrent>
#include <algorithm>
#include <cmath>
#include <vector>

namespace ombrel::VideoRenderer {

std::optional<QImage> noteImage(const VideoEdit::TextNote& note, double videoWidth) {
    if (note.text.isEmpty()) return std::nullopt;
    const NoteLayout laid = NoteLayout::make(note, videoWidth, NoteLayout::videoMinimum);
    const QSize size(int(std::ceil(laid.size.width())), int(std::ceil(laid.size.height())));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    laid.paint(painter, QPointF(0, 0));
    return image;
}

QRect cropPixels(const std::optional<QRectF>& crop, QSize size) {
    const int W = size.width(), H = size.height();
    if (!crop) return QRect(0, 0, W, H);
    const auto even = [](double v) { return std::max(2, (int(std::trunc(v)) / 2) * 2); };
    const int width = even(crop->width() * W);
    const int height = even(crop->height() * H);
    const double x = std::min(std::max(crop->left() * W, 0.0), double(W - width));
    // The vertical place is kept and rounded from the bottom edge, then counted from the top.
    const double fromBottom = std::min(std::max((1 - crop->bottom()) * H, 0.0), double(H - height));
    const int y = H - height - int(std::lround(fromBottom));
    return QRect(int(std::lround(x)), y, width, height);
}

namespace {

// A note or caption picture in the video's own colours (limited-range BT.601, 4:2:0),
// premultiplied by its opacity and placed in the picture, so blending it into a frame is one
// multiply-add per sample.
struct Overlay {
    double from = 0, until = 0;                  // shown while from <= t < until
    QRect area;                                  // in luma pixels, inside the picture; even origin and size
    std::vector<uint8_t> y, yKeep, u, v, uvKeep; // keep = 255 − opacity

    static Overlay make(const QImage& image, QPoint at, QSize picture, double from, double until) {
        Overlay o;
        o.from = from;
        o.until = until;
        const QRect wanted = QRect(at, image.size()).intersected(QRect(QPoint(0, 0), picture));
        const int x0 = wanted.left() & ~1, y0 = wanted.top() & ~1;
        const int x1 = std::min((wanted.right() + 2) & ~1, picture.width() & ~1);
        const int y1 = std::min((wanted.bottom() + 2) & ~1, picture.height() & ~1);
        if (wanted.isEmpty() || x1 <= x0 || y1 <= y0) return o;
        o.area = QRect(x0, y0, x1 - x0, y1 - y0);
        const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const int w = o.area.width(), h = o.area.height();
        o.y.assign(size_t(w) * h, 0); // fully transparent: nothing added, everything kept
        o.yKeep.assign(size_t(w) * h, 255);
        std::vector<double> sumU(size_t(w / 2) * (h / 2), 0), sumV(sumU.size(), 0), sumA(sumU.size(), 0);
        for (int row = 0; row < h; ++row) {
            const int sy = o.area.top() + row - at.y();
            for (int col = 0; col < w; ++col) {
                const int sx = o.area.left() + col - at.x();
                double r = 0, g = 0, b = 0, a = 0;
                if (sy >= 0 && sy < source.height() && sx >= 0 && sx < source.width()) {
                    const QRgb px = reinterpret_cast<const QRgb*>(source.constScanLine(sy))[sx];
                    a = qAlpha(px) / 255.0;
                    r = qRed(px) / 255.0;
                    g = qGreen(px) / 255.0;
                    b = qBlue(px) / 255.0;
                }
                const size_t i = size_t(row) * w + col;
                o.y[i] = uint8_t(std::lround(16 * a + 65.481 * r + 128.553 * g + 24.966 * b));
                o.yKeep[i] = uint8_t(std::lround(255 * (1 - a)));
                const size_t c = size_t(row / 2) * (w / 2) + col / 2;
                sumU[c] += 128 * a - 37.797 * r - 74.203 * g + 112.0 * b;
                sumV[c] += 128 * a + 112.0 * r - 93.786 * g - 18.214 * b;
                sumA[c] += a;
            }
        }
        o.u.resize(sumU.size());
        o.v.resize(sumU.size());
        o.uvKeep.resize(sumU.size());
        for (size_t c = 0; c < sumU.size(); ++c) {
            o.u[c] = uint8_t(std::clamp(std::lround(sumU[c] / 4), 0L, 255L));
            o.v[c] = uint8_t(std::clamp(std::lround(sumV[c] / 4), 0L, 255L));
            o.uvKeep[c] = uint8_t(std::lround(255 * (1 - sumA[c] / 4)));
        }
        return o;
    }

    bool isShown(double t) const { return !area.isEmpty() && from <= t && t < until; }

    static void blendPlane(uint8_t* plane, int lineSize, int x, int y, int w, int h, const uint8_t* add,
                           const uint8_t* keep) {
        for (int row = 0; row < h; ++row) {
            uint8_t* out = plane + qsizetype(y + row) * lineSize + x;
            const uint8_t* a = add + size_t(row) * w;
            const uint8_t* k = keep + size_t(row) * w;
            for (int col = 0; col < w; ++col) {
                if (k[col] == 255) continue;
                const unsigned v = a[col] + (unsigned(out[col]) * k[col] + 127) / 255;
                out[col] = uint8_t(std::min(v, 255u));
            }
        }
    }

    void blend(AVFrame* f) const {
        const int x = area.left(), y = area.top(), w = area.width(), h = area.height();
        blendPlane(f->data[0], f->linesize[0], x, y, w, h, this->y.data(), yKeep.data());
        blendPlane(f->data[1], f->linesize[1], x / 2, y / 2, w / 2, h / 2, u.data(), uvKeep.data());
        blendPlane(f->data[2], f->linesize[2], x / 2, y / 2, w / 2, h / 2, v.data(), uvKeep.data());
    }
};

} // namespace

Outcome<bool> render(const VideoEdit& edit, const QString& from, const QString& to,
                     const Progress& progress) {
    std::vector<Overlay> notes;
    // Captions are painted when first shown and let go once past: a long video with many
    // captions holds one or two of them at a time, each still made once.
    struct CaptionOverlay {
        const VideoEdit::Caption* caption;
        std::optional<Overlay> overlay;
        bool painted = false;
    };
    std::vector<CaptionOverlay> captions;
    QRect C;
    QSize S;
    AVFrame* cropped = av_frame_alloc();
    Reencoding how;
    how.sound = edit.isMuted ? Reencoding::Sound::none : Reencoding::Sound::all;
    how.progress = progress;
    how.prepare = [&](QSize pictureSize, QString&) {
        S = pictureSize;
        C = cropPixels(edit.crop, S);
        // The notes are few and may be shown the whole time: all made before the first frame.
        for (const VideoEdit::TextNote& note : edit.notes) {
            const std::optional<QImage> image = noteImage(note, C.width());
            if (!image) continue;
            const QPoint at(int(std::lround(note.x * S.width())), int(std::lround(note.y * S.height())));
            notes.push_back(Overlay::make(*image, at, S, note.time, note.time + note.duration));
        }
        for (const VideoEdit::Caption& caption : edit.captions)
            if (!caption.text.isEmpty()) captions.push_back({&caption, std::nullopt});
        return C.size();
    };
    const auto captionAt = [&](double t) -> const Overlay* {
        const Overlay* shown = nullptr;
        for (CaptionOverlay& c : captions) {
            const bool past = c.caption->time + c.caption->duration <= t;
            if (past) c.overlay.reset();
            if (shown || past || !c.caption->isShown(t)) continue;
            if (!c.painted) {
                c.painted = true; // a caption whose picture cannot be made is left out
                if (const auto picture =
                        CaptionPainter::picture(c.caption->text, edit.captionStyle, C.size())) {
                    const QPoint at(C.left() + int(std::lround(picture->box.left())),
                                    C.top() + int(std::lround(picture->box.top())));
                    c.overlay = Overlay::make(picture->image, at, S, c.caption->time,
                                              c.caption->time + c.caption->duration);
                }
            }
            if (c.overlay) shown = &*c.overlay;
        }
        return shown;
    };
    how.eachPicture = [&](AVFrame* picture, double t, QString& failure) -> AVFrame* {
        // Notes in list order (later ones cover earlier ones), then the first caption shown.
        std::vector<const Overlay*> shown;
        for (const Overlay& note : notes)
            if (note.isShown(t)) shown.push_back(&note);
        if (const Overlay* caption = captionAt(t)) shown.push_back(caption);
        if (!shown.empty() && av_frame_make_writable(picture) < 0) {
            failure = QStringLiteral("Out of memory.");
            return nullptr;
        }
        for (const Overlay* o : shown)
            o->blend(picture);

        // The crop refers into the picture: no copy is made.
        av_frame_unref(cropped);
        if (!cropped || av_frame_ref(cropped, picture) < 0) {
            failure = QStringLiteral("Out of memory.");
            return nullptr;
        }
        cropped->data[0] += qsizetype(C.top()) * picture->linesize[0] + C.left();
        cropped->data[1] += qsizetype(C.top() / 2) * picture->linesize[1] + C.left() / 2;
        cropped->data[2] += qsizetype(C.top() / 2) * picture->linesize[2] + C.left() / 2;
        cropped->width = C.width();
        cropped->height = C.height();
        return cropped;
    };
    const Outcome<bool> result = reencode(from, to, how);
    av_frame_free(&cropped);
    return result;
}

QFuture<Outcome<bool>> exportVideo(VideoEdit edit, QString from, QString to, Progress progress) {
    return QtConcurrent::run([edit = std::move(edit), from = std::move(from), to = std::move(to),
                              progress = std::move(progress)] { return render(edit, from, to, progress); });
}

} // namespace ombrel::VideoRenderer
