#pragma once
// The user's look choices for marks and notes, each kept under its own settings key
// (MarkupKeys.h): the font and text size of comments, the box border weight, the
// highlight colour, how notes are shown and the note paper.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace ombrel {

struct NamedScale {
    const char* name;
    double scale;
};

class MarkStyle {
  public:
    // The tables, in the order they are offered to the user.
    static const QStringList& fonts();
    static const std::array<NamedScale, 6>& sizes();
    static const std::array<NamedScale, 4>& borders();

    static QString fontName();
    static void setFontName(const QString& name);
    static QString sizeName();
    static void setSizeName(const QString& name);
    static QString borderName();
    static void setBorderName(const QString& name);

    // The scale of the first row with that name; 1.0 when none matches.
    static double sizeScale(const QString& name);
    static double borderScale(const QString& name);
    static double sizeScale() { return sizeScale(sizeName()); }
    static double borderScale() { return borderScale(borderName()); }
    static bool isAuto(const QString& name) { return name == QLatin1String("Auto"); }
    static bool isAuto() { return isAuto(sizeName()); }

    // The font for text in marks, `sizePx` tall in image pixels. Fonts from this class carry
    // their size as a point size equal to the pixel size: lay them out on textDevice().
    static QFont font(double sizePx, QFont::Weight weight = QFont::Medium);
    static QFont font(double sizePx, QFont::Weight weight, const QString& named);
    // The plain and monospaced system faces at a pixel size.
    static QFont systemFont(double sizePx, QFont::Weight weight = QFont::Normal);
    static QFont monospacedFont(double sizePx, QFont::Weight weight = QFont::Normal);
    // The handwriting face that stands in for the platform's own, or nothing when none is installed.
    static std::optional<QString> handwritingFamily();
};

struct PaletteChoice {
    const char* name;
    QColor color;
};

class HighlightPalette {
  public:
    static const QList<PaletteChoice>& choices();
    static QString currentName();
    static void setCurrentName(const QString& name);
    // The colour of the stored name; system red when none matches.
    static QColor current();
    static QColor colorNamed(const QString& name);
    // White or near-black ink for a number drawn on a badge filled with `fill`.
    static QColor numberColor(const QColor& fill);
    // A small round swatch of `color` for menus, `sizePx` across.
    static QImage dot(const QColor& color, int sizePx);

    static const QColor systemRed;
    static const QColor systemBlue;
    static const QColor darkInk;
};

enum class NoteLook { List, Sticky, Glass };

class NoteLooks {
  public:
    static QString rawValue(NoteLook look);
    static QString title(NoteLook look);
    // An unknown or empty raw value gives List.
    static NoteLook parse(const QString& raw);
    static NoteLook current();
    static void setCurrent(NoteLook look);
};

struct PaperColors {
    const char* name;
    QColor top;
    QColor bottom;
    QColor ink;
};

class NotePaper {
  public:
    static constexpr int lastIndex = 4;
    static const std::array<PaperColors, 5>& colors();
    static const std::array<QColor, 5>& pins();
    // The stored index, limited from above to the last row.
    static int current();
    static void setCurrent(int index);
    // An index from anywhere (a marks file, say) brought into the table's range.
    static int clamped(int index);
    // The 128 × 128 paper grain, made once from a fixed xorshift sequence.
    static const QImage& grain();
    static constexpr int grainSide = 128;
};

} // namespace ombrel
