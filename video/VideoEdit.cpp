#include "video/VideoEdit.h"

#include "markup/MarkStyle.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace ombrel {

namespace {

QColor rgb(double r, double g, double b, double a = 1.0) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

} // namespace

VideoTextStyle VideoTextStyle::last;
CaptionStyle CaptionStyle::last;

// ——— VideoTextStyle ———

const QStringList& VideoTextStyle::fonts() {
    static const QStringList names{"System", "Rounded", "Serif", "Mono", "Handwriting"};
    return names;
}

const QList<NamedMultiplier>& VideoTextStyle::sizes() {
    static const QList<NamedMultiplier> rows{
        {"Small", 0.75}, {"Medium", 1.0}, {"Large", 1.4}, {"Extra Large", 2.0}};
    return rows;
}

const QList<NamedColour>& VideoTextStyle::colors() {
    static const QList<NamedColour> rows{{"White", rgb(1, 1, 1)},
                                         {"Black", rgb(0, 0, 0)},
                                         {"Yellow", rgb(1.0, 0.85, 0.2)},
                                         {"Red", rgb(1.0, 0.27, 0.23)},
                                         {"Cyan", rgb(0.33, 0.84, 0.9)}};
    return rows;
}

const QList<NamedColour>& VideoTextStyle::backgrounds() {
    static const QList<NamedColour> rows{{"Ombrel", rgb(0.06, 0.1, 0.24, 0.92)},
                                         {"Black", rgb(0, 0, 0, 0.82)},
                                         {"White", rgb(1, 1, 1, 0.94)},
                                         {"Yellow", rgb(1.0, 0.85, 0.2, 0.95)},
                                         {"None", QColor()}};
    return rows;
}

QFont VideoTextStyle::fontAt(double pointSize) const {
    const double p = pointSize * size;
    // The markup faces: the same five names map to the same installed faces there.
    if (font == QLatin1String("Handwriting")) {
        if (const auto family = MarkStyle::handwritingFamily()) {
            QFont face(*family);
            face.setPointSizeF(std::max(1.0, 1.2 * p));
            face.setWeight(QFont::DemiBold);
            return face;
        }
        return MarkStyle::font(p, QFont::DemiBold, QStringLiteral("System"));
    }
    return MarkStyle::font(p, QFont::DemiBold, fonts().contains(font) ? font : QStringLiteral("System"));
}

QColor VideoTextStyle::textColor() const {
    for (const NamedColour& row : colors())
        if (color == QLatin1String(row.name)) return row.colour;
    return rgb(1, 1, 1);
}

std::optional<QColor> VideoTextStyle::backgroundColor() const {
    for (const NamedColour& row : backgrounds())
        if (background == QLatin1String(row.name))
            return row.colour.isValid() ? std::optional<QColor>(row.colour) : std::nullopt;
    return std::nullopt;
}

TextAttributes VideoTextStyle::attributes(double pointSize) const {
    TextAttributes a{fontAt(pointSize), textColor(), std::nullopt, QColor(), 0};
    if (!backgroundColor()) {
        const bool blackText = a.color == rgb(0, 0, 0);
        a.shadow =
            TextShadow{blackText ? rgb(1, 1, 1, 0.85) : rgb(0, 0, 0, 0.85), 0.15 * pointSize, QPointF(0, 1)};
    }
    return a;
}

// ——— CaptionStyle ———

const QList<CaptionStyle>& CaptionStyle::looks() {
    const auto look = [](const char* name, bool fullWidth, const char* font, const char* color,
                         const char* bg) {
        return CaptionStyle{QString::fromLatin1(name), fullWidth, QStringLiteral("Bottom"),
                            VideoTextStyle{QString::fromLatin1(font), 1.0, QString::fromLatin1(color),
                                           QString::fromLatin1(bg)}};
    };
    static const QList<CaptionStyle> rows{look("TV Bar", true, "System", "White", "Black"),
                                          look("Clean Subtitle", false, "System", "White", "None"),
                                          look("Soft Pill", false, "Rounded", "White", "Black"),
                                          look("Ombrel Blue", true, "Rounded", "White", "Ombrel"),
                                          look("Yellow Classic", false, "System", "Yellow", "None"),
                                          look("Paper Card", false, "Serif", "Black", "White")};
    return rows;
}

const QStringList& CaptionStyle::positions() {
    static const QStringList names{"Bottom", "Middle", "Top"};
    return names;
}

// ——— VideoEdit ———

bool VideoEdit::hasChanges() const {
    if (crop || isMuted) return true;
    for (const TextNote& n : notes)
        if (!n.text.isEmpty()) return true;
    for (const Caption& c : captions)
        if (!c.text.isEmpty()) return true;
    return false;
}

std::optional<int> VideoEdit::captionIndex(double t) const {
    for (int i = 0; i < captions.size(); ++i)
        if (!captions[i].text.isEmpty() && captions[i].isShown(t)) return i;
    return std::nullopt;
}

QList<int> VideoEdit::noteIndexes(double t) const {
    QList<int> shown;
    for (int i = 0; i < notes.size(); ++i)
        if (!notes[i].text.isEmpty() && notes[i].isShown(t)) shown.append(i);
    return shown;
}

QList<VideoEdit::TextNote> VideoEdit::notesAt(double t) const {
    QList<TextNote> shown;
    for (int i : noteIndexes(t))
        shown.append(notes[i]);
    return shown;
}

QString VideoEdit::tidied(const QString& text) {
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    static const QRegularExpression stepNumber(QStringLiteral("^[0-9]+[.)]\\s*"));
    QString t = text.trimmed();
    t.replace(spaces, QStringLiteral(" "));
    t.remove(stepNumber);
    if (!t.isEmpty()) t = t.left(1).toUpper() + t.mid(1);
    return t;
}

VideoEdit VideoEdit::organised(double videoLength) const {
    QList<TextNote> kept;
    for (const TextNote& n : notes)
        if (!n.text.trimmed().isEmpty()) kept.append(n);
    std::stable_sort(kept.begin(), kept.end(),
                     [](const TextNote& a, const TextNote& b) { return a.time < b.time; });
    for (int i = 0; i < kept.size(); ++i) {
        TextNote& n = kept[i];
        const double next = i + 1 < kept.size() ? kept[i + 1].time : videoLength;
        n.text = QString::number(i + 1) + QStringLiteral(". ") + tidied(n.text);
        n.x = 0.05;
        n.y = 0.8;
        n.duration = std::min(std::max(next - n.time, 1.5), 8.0);
    }
    VideoEdit copy = *this;
    copy.notes = kept;
    return copy;
}

QList<VideoEdit::Caption> VideoEdit::captionsFrom(const QList<SpeechWord>& words) {
    QList<Caption> out;
    QStringList group;
    double start = 0, end = 0;
    const auto flush = [&] {
        if (group.isEmpty()) return;
        out.append(Caption{start, end - start, group.join(QLatin1Char(' '))});
        group.clear();
    };
    for (const SpeechWord& word : words) {
        const qsizetype length = group.join(QLatin1Char(' ')).size() + word.text.size();
        if (!group.isEmpty() && (word.time - end > 0.8 || group.size() >= 10 || length > 58)) flush();
        if (group.isEmpty()) start = word.time;
        group.append(word.text);
        end = word.time + word.duration;
        const bool sentenceEnds = word.text.endsWith(QLatin1Char('.')) ||
                                  word.text.endsWith(QLatin1Char('?')) ||
                                  word.text.endsWith(QLatin1Char('!'));
        if (sentenceEnds && group.size() >= 3) flush();
    }
    flush();
    for (int i = 0; i < out.size(); ++i) {
        const double next = i + 1 < out.size() ? out[i + 1].time : std::numeric_limits<double>::infinity();
        out[i].duration = std::min(std::max(out[i].duration + 0.5, 1.5), next - out[i].time);
    }
    return out;
}

} // namespace ombrel
