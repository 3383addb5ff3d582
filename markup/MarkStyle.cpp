#include "MarkStyle.h"

#include "MarkupKeys.h"

#include <QFontDatabase>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace ombrel {

namespace {

QColor rgb(double r, double g, double b) {
    return QColor::fromRgbF(float(r), float(g), float(b));
}

double scaleIn(const auto& table, const QString& name) {
    for (const NamedScale& row : table)
        if (name == QLatin1String(row.name)) return row.scale;
    return 1.0;
}

std::optional<QString> firstInstalled(std::initializer_list<const char*> families) {
    for (const char* family : families)
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) return QString::fromLatin1(family);
    return std::nullopt;
}

QFont sized(QFont font, double sizePx, QFont::Weight weight) {
    font.setPointSizeF(std::max(1.0, sizePx));
    font.setWeight(weight);
    return font;
}

} // namespace

const QColor HighlightPalette::systemRed = rgb(1.0, 0.231, 0.188);
const QColor HighlightPalette::systemBlue = rgb(0.0, 0.478, 1.0);
const QColor HighlightPalette::darkInk = rgb(0.043, 0.051, 0.078);

// MARK: MarkStyle

const QStringList& MarkStyle::fonts() {
    static const QStringList names{"System", "Rounded", "Serif", "Mono", "Handwriting"};
    return names;
}

const std::array<NamedScale, 6>& MarkStyle::sizes() {
    static const std::array<NamedScale, 6> rows{{{"Auto", 1.0},
                                                 {"Extra Small", 0.6},
                                                 {"Small", 0.8},
                                                 {"Medium", 1.0},
                                                 {"Large", 1.3},
                                                 {"Extra Large", 1.7}}};
    return rows;
}

const std::array<NamedScale, 4>& MarkStyle::borders() {
    static const std::array<NamedScale, 4> rows{
        {{"Hairline", 0.6}, {"Thin", 1.0}, {"Medium", 2.0}, {"Thick", 3.5}}};
    return rows;
}

QString MarkStyle::fontName() {
    return Defaults::get(MarkupKeys::commentFont);
}
void MarkStyle::setFontName(const QString& name) {
    Defaults::set(MarkupKeys::commentFont, name);
}
QString MarkStyle::sizeName() {
    return Defaults::get(MarkupKeys::commentSize);
}
void MarkStyle::setSizeName(const QString& name) {
    Defaults::set(MarkupKeys::commentSize, name);
}
QString MarkStyle::borderName() {
    return Defaults::get(MarkupKeys::boxBorder);
}
void MarkStyle::setBorderName(const QString& name) {
    Defaults::set(MarkupKeys::boxBorder, name);
}

double MarkStyle::sizeScale(const QString& name) {
    return scaleIn(sizes(), name);
}
double MarkStyle::borderScale(const QString& name) {
    return scaleIn(borders(), name);
}

QFont MarkStyle::systemFont(double sizePx, QFont::Weight weight) {
    return sized(QFontDatabase::systemFont(QFontDatabase::GeneralFont), sizePx, weight);
}

QFont MarkStyle::monospacedFont(double sizePx, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    return sized(font, sizePx, weight);
}

std::optional<QString> MarkStyle::handwritingFamily() {
    // The platform's own handwriting face when present, else the one Debian ships.
    static const std::optional<QString> family =
        firstInstalled({"Bradley Hand ITC TT", "Bradley Hand", "DkgHandwriting"});
    return family;
}

QFont MarkStyle::font(double sizePx, QFont::Weight weight) {
    return font(sizePx, weight, fontName());
}

QFont MarkStyle::font(double sizePx, QFont::Weight weight, const QString& named) {
    if (named == QLatin1String("Rounded")) {
        static const std::optional<QString> rounded =
            firstInstalled({"SF Pro Rounded", "Nunito", "Comfortaa"});
        if (rounded) return sized(QFont(*rounded), sizePx, weight);
    } else if (named == QLatin1String("Serif")) {
        static const std::optional<QString> serif = firstInstalled({"DejaVu Serif", "Nimbus Roman", "serif"});
        QFont font(serif.value_or(QStringLiteral("serif")));
        font.setStyleHint(QFont::Serif);
        return sized(font, sizePx, weight);
    } else if (named == QLatin1String("Mono")) {
        return monospacedFont(sizePx, weight);
    } else if (named == QLatin1String("Handwriting")) {
        if (const auto family = handwritingFamily())
            return sized(QFont(*family), sizePx * 1.15, std::max(weight, QFont::Bold));
    }
    return systemFont(sizePx, weight);
}

// MARK: HighlightPalette

const QList<PaletteChoice>& HighlightPalette::choices() {
    static const QList<PaletteChoice> rows{{"Red", systemRed},
                                           {"Cyan", rgb(0.1, 0.66, 0.78)},
                                           {"Blue", systemBlue},
                                           {"Green", rgb(0.1, 0.68, 0.35)},
                                           {"Amber", rgb(0.93, 0.55, 0.05)},
                                           {"Pink", rgb(0.95, 0.3, 0.62)}};
    return rows;
}

QString HighlightPalette::currentName() {
    return Defaults::get(MarkupKeys::highlightColor);
}
void HighlightPalette::setCurrentName(const QString& name) {
    Defaults::set(MarkupKeys::highlightColor, name);
}
QColor HighlightPalette::current() {
    return colorNamed(currentName());
}

QColor HighlightPalette::colorNamed(const QString& name) {
    for (const PaletteChoice& row : choices())
        if (name == QLatin1String(row.name)) return row.color;
    return systemRed;
}

QColor HighlightPalette::numberColor(const QColor& fill) {
    const QColor srgb = fill.toRgb();
    if (!srgb.isValid()) return Qt::white;
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const double luminance =
        0.2126 * linear(srgb.redF()) + 0.7152 * linear(srgb.greenF()) + 0.0722 * linear(srgb.blueF());
    // White when it keeps a contrast of at least 3:1 against the fill.
    return 1.05 / (luminance + 0.05) >= 3.0 ? QColor(Qt::white) : darkInk;
}

QImage HighlightPalette::dot(const QColor& color, int sizePx) {
    QImage image(std::max(1, sizePx), std::max(1, sizePx), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0.5, 0.5, image.width() - 1.0, image.height() - 1.0));
    return image;
}

// MARK: NoteLook

QString NoteLooks::rawValue(NoteLook look) {
    switch (look) {
    case NoteLook::Sticky:
        return QStringLiteral("sticky");
    case NoteLook::Glass:
        return QStringLiteral("glass");
    case NoteLook::List:
        break;
    }
    return QStringLiteral("list");
}

QString NoteLooks::title(NoteLook look) {
    switch (look) {
    case NoteLook::Sticky:
        return QStringLiteral("Sticky Notes");
    case NoteLook::Glass:
        return QStringLiteral("Glass Bubbles");
    case NoteLook::List:
        break;
    }
    return QStringLiteral("List Under the Picture");
}

NoteLook NoteLooks::parse(const QString& raw) {
    if (raw == QLatin1String("sticky")) return NoteLook::Sticky;
    if (raw == QLatin1String("glass")) return NoteLook::Glass;
    return NoteLook::List;
}

NoteLook NoteLooks::current() {
    return parse(Defaults::get(MarkupKeys::noteLook));
}
void NoteLooks::setCurrent(NoteLook look) {
    Defaults::set(MarkupKeys::noteLook, rawValue(look));
}

// MARK: NotePaper

const std::array<PaperColors, 5>& NotePaper::colors() {
    static const std::array<PaperColors, 5> rows{{
        {"Yellow", QColor(0xFF, 0xE7, 0x74), QColor(0xFD, 0xDF, 0x60), QColor(0x2B, 0x26, 0x10)},
        {"Pink", QColor(0xFF, 0xBD, 0xCD), QColor(0xFD, 0xB1, 0xC4), QColor(0x33, 0x12, 0x1C)},
        {"Mint", QColor(0xC2, 0xF1, 0xCB), QColor(0xB4, 0xEB, 0xBF), QColor(0x10, 0x29, 0x1A)},
        {"Sky", QColor(0xC0, 0xDF, 0xFF), QColor(0xB2, 0xD7, 0xFC), QColor(0x10, 0x23, 0x3A)},
        {"Peach", QColor(0xFF, 0xD6, 0xB8), QColor(0xFD, 0xCB, 0xA8), QColor(0x35, 0x20, 0x0F)},
    }};
    return rows;
}

const std::array<QColor, 5>& NotePaper::pins() {
    static const std::array<QColor, 5> rows{rgb(0.86, 0.16, 0.2), rgb(0.13, 0.36, 0.82), rgb(0.91, 0.62, 0.1),
                                            rgb(0.12, 0.6, 0.33), rgb(0.1, 0.62, 0.72)};
    return rows;
}

int NotePaper::current() {
    const double stored = Defaults::get(MarkupKeys::notePaper);
    if (!std::isfinite(stored)) return 0;
    return int(std::min<double>(std::trunc(stored), lastIndex));
}

void NotePaper::setCurrent(int index) {
    Defaults::set(MarkupKeys::notePaper, index);
}

int NotePaper::clamped(int index) {
    return std::clamp(index, 0, lastIndex);
}

const QImage& NotePaper::grain() {
    static const QImage texture = [] {
        QImage image(grainSide, grainSide, QImage::Format_Grayscale8);
        quint32 state = 0x9E3779B9u;
        for (int y = 0; y < grainSide; ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < grainSide; ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                row[x] = uchar(state & 0xFF);
            }
        }
        return image;
    }();
    return texture;
}

} // namespace ombrel
