// Notes beside their marks, for the sticky and glass looks: their text, where they go
// (eight candidate places around the box, the one covering least of the other boxes and
// notes), the connectors that tie them to their boxes, and the two looks.
#include "MarkupParts.h"

#include <QFontDatabase>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace ombrel::render_parts {

namespace {

QColor rgba(double r, double g, double b, double a) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}
QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(float(alpha));
    return c;
}

const QColor accentViolet = rgba(0.43, 0.55, 1.0, 1.0);
const QColor accentBlue = rgba(0.27, 0.4, 0.9, 1.0);

const PaperColors& paperOf(const Markup::Box& box) {
    return NotePaper::colors()[NotePaper::clamped(box.paper)];
}

} // namespace

QColor inkFor(const Markup::Box& box, NoteLook look) {
    return look == NoteLook::Sticky ? paperOf(box).ink : QColor(Qt::white);
}

QFont noteFont(const MarkLook& look, double noteUnit) {
    if (look.noteLook == NoteLook::Sticky && look.fontName == QLatin1String("System")) {
        // Sticky paper gets handwriting unless the user chose a face of their own.
        if (const auto family = MarkStyle::handwritingFamily()) {
            QFont font(*family);
            font.setPointSizeF(noteUnit * 1.2);
            font.setWeight(QFont::Bold);
            return font;
        }
        if (QFontDatabase::hasFamily(QStringLiteral("Noteworthy"))) {
            QFont font(QStringLiteral("Noteworthy"));
            font.setPointSizeF(noteUnit * 1.05);
            font.setWeight(QFont::Bold);
            return font;
        }
    }
    return MarkStyle::font(noteUnit, QFont::Medium, look.fontName);
}

namespace {

StyledText noteText(const Markup& markup, qsizetype index, const MarkLook& look, double noteUnit) {
    const Markup::Box& box = markup.boxes[index];
    const QColor ink = inkFor(box, look.noteLook);
    StyledText text;
    QFont heading = MarkStyle::monospacedFont(noteUnit * 0.58, QFont::DemiBold);
    heading.setLetterSpacing(QFont::AbsoluteSpacing, noteUnit * 0.1);
    text.addParagraph(
        {{QStringLiteral("NOTE ") + QString::number(markup.number(index)), heading, withAlpha(ink, 0.72)}},
        {0, noteUnit * 0.3, false});
    if (box.element)
        text.addParagraph(
            {{*box.element, MarkStyle::systemFont(noteUnit * 0.68, QFont::DemiBold), withAlpha(ink, 0.65)}});
    const QFont font = noteFont(look, noteUnit);
    // Handwriting faces come with very loose line spacing; keep their lines together.
    const double tightest = font.pointSizeF() * 1.45;
    const bool handwriting = MarkStyle::handwritingFamily() == font.family();
    ParagraphStyle body;
    if (handwriting && lineSpacing(font) > tightest) body.lineHeightPx = tightest;
    text.addParagraph({{trimmed(box.note), font, ink}}, body);
    return text;
}

double overlapArea(const QRectF& a, const QRectF& b) {
    const QRectF both = a.normalized().intersected(b.normalized());
    return both.isValid() ? both.width() * both.height() : 0.0;
}

// Moves a frame inside the kept part; a frame larger than it keeps its top-left corner in.
QRectF keptInside(QRectF frame, const QRectF& keptRect) {
    frame.moveLeft(std::max(std::min(frame.left(), keptRect.right() - frame.width()), keptRect.left()));
    frame.moveTop(std::max(std::min(frame.top(), keptRect.bottom() - frame.height()), keptRect.top()));
    return frame;
}

QPointF clampedTo(QPointF p, const QRectF& r) {
    return QPointF(std::clamp(p.x(), r.left(), std::max(r.left(), r.right())),
                   std::clamp(p.y(), r.top(), std::max(r.top(), r.bottom())));
}

void paintConnector(QPainter& painter, const QRectF& boxRect, const QRectF& noteRect, double noteUnit,
                    const QColor& color) {
    const QPointF start = clampedTo(noteRect.center(), boxRect.normalized());
    const QPointF end = clampedTo(start, noteRect);
    if (std::hypot(end.x() - start.x(), end.y() - start.y()) <= noteUnit * 0.4) return;
    const QPointF sag = (start + end) / 2 + QPointF(0, noteUnit * 0.6);
    QPainterPath path(start);
    path.cubicTo(sag, sag, end);
    QPen pen(color, std::max(1.5, noteUnit * 0.09), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.strokePath(path, pen);
}

// The paper: the frame with its lower-right corner rounded off where it curls.
QPainterPath paperPath(const QRectF& r, double curl) {
    curl = std::min({curl, r.width() / 2, r.height() / 2});
    QPainterPath path(r.topLeft());
    path.lineTo(r.topRight());
    path.lineTo(r.right(), r.bottom() - curl);
    path.cubicTo(QPointF(r.right() - curl * 0.15, r.bottom() - curl * 0.35),
                 QPointF(r.right() - curl * 0.45, r.bottom() - curl * 0.05),
                 QPointF(r.right() - curl, r.bottom()));
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    return path;
}

void paintSticky(QPainter& painter, const Markup& markup, qsizetype index, const QRectF& frame,
                 const MarkLook& look, const MarkupMetrics& m, bool withText) {
    const Markup::Box& box = markup.boxes[index];
    const PaperColors& paper = paperOf(box);
    const double u = m.noteUnit;
    painter.save();
    painter.translate(frame.center());
    painter.rotate(stickyTiltDegrees(index));
    painter.translate(-frame.center());

    const QPainterPath sheet = paperPath(frame, u * 1.3);
    // A soft shadow under the whole sheet, and a darker one under the lower edge, where it curls up.
    paintSoftShadow(painter, sheet.translated(0, u * 0.22), u * 0.9, rgba(0, 0, 0, 0.28));
    QPainterPath lowerEdge;
    lowerEdge.addRoundedRect(
        QRectF(frame.left() + frame.width() * 0.06, frame.bottom() - u * 0.8, frame.width() * 0.9, u * 0.8),
        u * 0.4, u * 0.4);
    paintSoftShadow(painter, lowerEdge.translated(u * 0.1, u * 0.35), u * 0.7, rgba(0, 0, 0, 0.38));

    QLinearGradient fill(frame.topLeft(), frame.bottomLeft());
    fill.setColorAt(0, paper.top);
    fill.setColorAt(1, paper.bottom);
    painter.fillPath(sheet, fill);

    painter.save();
    painter.setClipPath(sheet, Qt::IntersectClip);
    painter.fillRect(QRectF(frame.left(), frame.top(), frame.width(), u * 1.1), rgba(0.5, 0.5, 0.5, 0.012));
    painter.setOpacity(0.018);
    QBrush grain(QImage(NotePaper::grain()).convertToFormat(QImage::Format_RGB32));
    grain.setTransform(QTransform::fromTranslate(frame.left(), frame.top()));
    painter.fillRect(frame, grain);
    painter.setOpacity(1);
    // The curl: the lifted corner catches a little shade.
    QRadialGradient curlShade(frame.bottomRight(), u * 1.6);
    curlShade.setColorAt(0, rgba(0, 0, 0, 0.10));
    curlShade.setColorAt(1, rgba(0, 0, 0, 0));
    painter.fillRect(QRectF(frame.right() - u * 1.6, frame.bottom() - u * 1.6, u * 1.6, u * 1.6), curlShade);
    painter.restore();

    // The pin at the top.
    const QPointF pinCentre(frame.center().x(), frame.top() + u * 0.45);
    const double pinRadius = u * 0.34;
    QPainterPath pinShadow;
    pinShadow.addEllipse(pinCentre + QPointF(u * 0.12, u * 0.18), pinRadius, pinRadius);
    paintSoftShadow(painter, pinShadow, u * 0.3, rgba(0, 0, 0, 0.35));
    const QColor pin = NotePaper::pins()[NotePaper::clamped(box.paper)];
    QRadialGradient head(pinCentre - QPointF(pinRadius * 0.35, pinRadius * 0.35), pinRadius * 1.3);
    head.setColorAt(0, pin.lighter(160));
    head.setColorAt(0.45, pin);
    head.setColorAt(1, pin.darker(140));
    painter.setPen(Qt::NoPen);
    painter.setBrush(head);
    painter.drawEllipse(pinCentre, pinRadius, pinRadius);

    if (withText)
        noteText(markup, index, look, u)
            .draw(painter, frame.adjusted(m.notePadding, m.notePadding, -m.notePadding, -m.notePadding));
    painter.restore();
}

void paintGlass(QPainter& painter, const Markup& markup, qsizetype index, const QRectF& frame,
                const MarkLook& look, const MarkupMetrics& m, bool withText) {
    const double u = m.noteUnit;
    QPainterPath bubble;
    bubble.addRoundedRect(frame, u * 0.8, u * 0.8);
    paintSoftShadow(painter, bubble.translated(0, u * 0.2), u * 0.9, withAlpha(accentBlue, 0.55));
    painter.fillPath(bubble, rgba(0.05, 0.06, 0.11, 0.94));
    QLinearGradient sheen(frame.topLeft(), frame.bottomLeft());
    sheen.setColorAt(0, rgba(0.44, 0.55, 1.0, 0.26));
    sheen.setColorAt(1, rgba(0.33, 0.84, 0.9, 0.0));
    painter.fillPath(bubble, sheen);
    painter.strokePath(bubble, QPen(withAlpha(accentViolet, 0.85), u * 0.07));
    if (withText)
        noteText(markup, index, look, u)
            .draw(painter, frame.adjusted(m.notePadding, m.notePadding, -m.notePadding, -m.notePadding));
}

} // namespace

double stickyTiltDegrees(qsizetype index) {
    static constexpr std::array<double, 5> tilts{-1.4, 1.0, -0.6, 1.6, -1.0};
    return tilts[size_t(index % 5)];
}

bool showsNote(const Markup& markup, qsizetype index, std::optional<qsizetype> editing) {
    const Markup::Box& box = markup.boxes[index];
    return !box.hides && (!trimmed(box.note).isEmpty() || editing == index);
}

int notesShown(const Markup& markup, std::optional<qsizetype> editing) {
    int n = 0;
    for (qsizetype i = 0; i < markup.boxes.size(); ++i)
        n += showsNote(markup, i, editing) ? 1 : 0;
    return n;
}

std::vector<NoteFrame> placeNotes(const Markup& markup, const MarkLook& look, const MarkupMetrics& m,
                                  std::optional<qsizetype> editing) {
    std::vector<NoteFrame> frames;
    if (look.noteLook == NoteLook::List || !MarkupRender::laysOutText(markup)) return frames;
    const QRectF keptRect = markup.keptImageRect();
    const int n = m.notesShown;
    const double share = n <= 3 ? 0.5 : n <= 5 ? 0.4 : 0.3;
    const double w = std::min(std::max(220.0, m.noteUnit * 13), m.keptWidth * share);
    const double minHeight = m.noteUnit * (look.noteLook == NoteLook::Sticky ? 6.0 : 3.2);
    const double g = m.noteUnit * 1.4;

    std::vector<QRectF> obstacles;
    for (const Markup::Box& box : markup.boxes)
        obstacles.push_back(box.imageRect);

    for (qsizetype i = 0; i < markup.boxes.size(); ++i) {
        if (!showsNote(markup, i, editing)) continue;
        const Markup::Box& box = markup.boxes[i];
        const double textHeight = noteText(markup, i, look, m.noteUnit).height(w - 2 * m.notePadding);
        const double h = std::max(std::ceil(textHeight) + 2 * m.notePadding, minHeight);
        QRectF chosen;
        if (box.notePosition) {
            chosen = keptInside(QRectF(*box.notePosition, QSizeF(w, h)), keptRect);
        } else {
            const QRectF R = box.imageRect.normalized();
            const std::array<QPointF, 8> origins{
                QPointF(R.right() + g, R.top()),        QPointF(R.left() - w - g, R.top()),
                QPointF(R.left(), R.bottom() + g),      QPointF(R.left(), R.top() - h - g),
                QPointF(R.right() + g, R.bottom() - h), QPointF(R.left() - w - g, R.bottom() - h),
                QPointF(R.right() - w, R.bottom() + g), QPointF(R.right() - w, R.top() - h - g)};
            double best = std::numeric_limits<double>::infinity();
            for (const QPointF& origin : origins) {
                const QRectF candidate = keptInside(QRectF(origin, QSizeF(w, h)), keptRect);
                double score = 0;
                for (const QRectF& obstacle : obstacles)
                    score += overlapArea(candidate, obstacle);
                if (score < best) { // a tie keeps the earlier place
                    best = score;
                    chosen = candidate;
                }
            }
        }
        obstacles.push_back(chosen);
        frames.push_back({i, chosen});
    }
    return frames;
}

void paintNotes(QPainter& painter, const Markup& markup, const MarkLook& look, const MarkupMetrics& m,
                std::optional<qsizetype> editing) {
    if (look.noteLook == NoteLook::List) return;
    const std::vector<NoteFrame> frames = placeNotes(markup, look, m, editing);
    for (const NoteFrame& note : frames) {
        const Markup::Box& box = markup.boxes[note.box];
        const QColor color =
            look.noteLook == NoteLook::Sticky ? withAlpha(paperOf(box).ink, 0.6) : accentViolet;
        paintConnector(painter, box.imageRect, note.imageRect, m.noteUnit, color);
    }
    for (const NoteFrame& note : frames) {
        const bool withText = editing != note.box;
        if (look.noteLook == NoteLook::Sticky)
            paintSticky(painter, markup, note.box, note.imageRect, look, m, withText);
        else
            paintGlass(painter, markup, note.box, note.imageRect, look, m, withText);
    }
}

void paintSoftShadow(QPainter& painter, const QPainterPath& path, double blurPx, const QColor& color) {
    const double sigma = std::max(0.5, blurPx / 2);
    const double margin = std::ceil(sigma * 3);
    const QRectF bounds = path.boundingRect().adjusted(-margin, -margin, margin, margin);
    const QRect pixels = bounds.toAlignedRect();
    if (pixels.isEmpty() || double(pixels.width()) * pixels.height() > 64.0 * 1024 * 1024) return;
    QImage mask(pixels.size(), QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHint(QPainter::Antialiasing);
        maskPainter.translate(-pixels.topLeft());
        maskPainter.fillPath(path, Qt::black);
    }
    cv::Mat alpha(mask.height(), mask.width(), CV_8UC1, mask.bits(), size_t(mask.bytesPerLine()));
    cv::GaussianBlur(alpha, alpha, cv::Size(0, 0), sigma, sigma, cv::BORDER_CONSTANT);

    QImage shadow(pixels.size(), QImage::Format_ARGB32_Premultiplied);
    shadow.fill(color);
    {
        QPainter tint(&shadow);
        tint.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        tint.drawImage(0, 0, mask);
    }
    painter.drawImage(pixels.topLeft(), shadow);
}

} // namespace ombrel::render_parts
