// The comment strip under the picture: the page's addresses, the picture's comment and,
// for the list look, the numbered comments of the marks, white on a darkened band of the
// highlight colour.
#include "MarkupParts.h"

#include <cmath>

namespace ombrel::render_parts {

namespace {
const QColor white = Qt::white;

QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(float(alpha));
    return c;
}
} // namespace

StyledText stripText(const Markup& markup, const MarkLook& look, double sizePx) {
    StyledText text;
    const QFont plain = MarkStyle::font(sizePx, QFont::Medium, look.fontName);
    const QFont heavy = MarkStyle::font(sizePx, QFont::ExtraBold, look.fontName);
    const QFont small = MarkStyle::font(sizePx * 0.85, QFont::Medium, look.fontName);
    const double spacing = sizePx * 0.3;
    const ParagraphStyle unnumbered{0, spacing, false};
    const ParagraphStyle numbered{sizePx * 1.8, spacing, true};

    for (const Markup::PageLink& link : markup.links)
        if (link.included && !link.url.isEmpty())
            text.addParagraph({{QStringLiteral("Page: ") + link.url, small, withAlpha(white, 0.85)}},
                              unnumbered);

    const QString comment = trimmed(markup.comment);
    if (!comment.isEmpty()) text.addParagraph({{comment, plain, white}}, unnumbered);

    if (look.noteLook == NoteLook::List) {
        for (qsizetype i = 0; i < markup.boxes.size(); ++i) {
            const Markup::Box& box = markup.boxes[i];
            if (box.hides) continue;
            const QString note = trimmed(box.note);
            const QString element = box.element ? *box.element : QString();
            QString line;
            if (!element.isEmpty() && !note.isEmpty())
                line = element + QStringLiteral(": ") + note;
            else
                line = element.isEmpty() ? note : element;
            if (line.isEmpty()) continue;
            text.addParagraph(
                {{QString::number(markup.number(i)) + QLatin1Char('\t'), heavy, white}, {line, plain, white}},
                numbered);
        }
    }
    return text;
}

double stripHeightFor(const StyledText& text, double keptWidth, double sizePx) {
    if (text.isEmpty()) return 0;
    const double p = sizePx * 0.7;
    return std::ceil(text.height(keptWidth - 2 * p)) + 2 * p;
}

std::pair<double, double> stripSizeAndHeight(const Markup& markup, const MarkLook& look) {
    const QRectF keptRect = markup.keptImageRect();
    const double W = keptRect.width();
    const double base = std::max(22.0, W / 60);
    if (!MarkupRender::laysOutText(markup)) return {base, 0.0};
    auto heightAt = [&](double size) { return stripHeightFor(stripText(markup, look, size), W, size); };
    if (!MarkStyle::isAuto(look.sizeName)) {
        const double size = base * MarkStyle::sizeScale(look.sizeName);
        return {size, heightAt(size)};
    }
    // Shrink in steps until the strip fits a third of the picture, then once more to the floor.
    const double budget = std::max(0.34 * keptRect.height(), 3 * base);
    for (double factor : {1.0, 0.9, 0.8, 0.7}) {
        const double height = heightAt(base * factor);
        if (height <= budget) return {base * factor, height};
    }
    return {base * 0.62, heightAt(base * 0.62)};
}

void paintStrip(QPainter& painter, const Markup& markup, const MarkLook& look, const MarkupMetrics& m) {
    if (m.stripHeight <= 0) return;
    const QRectF keptRect = markup.keptImageRect();
    const QRectF stripRect(keptRect.left(), keptRect.bottom(), m.keptWidth, m.stripHeight);
    QColor band = markup.color.toRgb();
    if (band.isValid())
        band =
            QColor::fromRgbF(band.redF() * 0.75f, band.greenF() * 0.75f, band.blueF() * 0.75f, band.alphaF());
    else
        band = markup.color;
    painter.fillRect(stripRect, band);
    stripText(markup, look, m.fontSize)
        .draw(painter, QRectF(keptRect.left() + m.padding, keptRect.bottom() + m.padding, m.textWidth,
                              m.stripHeight - 2 * m.padding));
}

} // namespace ombrel::render_parts
