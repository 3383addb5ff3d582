#include "Markup.h"

#include "MarkStyle.h"
#include "MarkupRender.h"

#include <QRegularExpression>
#include <algorithm>
#include <atomic>

namespace ombrel {

QString trimmed(const QString& text) {
    return text.trimmed();
}

QString tidiedNote(const QString& text) {
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    static const QRegularExpression listNumber(QStringLiteral("^[0-9]+[.)]\\s*"));
    QString tidy = text.trimmed();
    tidy.replace(spaces, QStringLiteral(" "));
    tidy.remove(listNumber);
    if (!tidy.isEmpty()) tidy = tidy.left(1).toUpper() + tidy.mid(1);
    return tidy;
}

Markup::Box::Box(QRectF imageRect, QString note, bool hides, std::optional<QString> element,
                 std::optional<QPointF> notePosition, std::optional<int> paper)
    : imageRect(imageRect), note(std::move(note)), id(0), hides(hides), element(std::move(element)),
      notePosition(notePosition), paper(paper ? *paper : NotePaper::current()) {
    static std::atomic<quint64> lastId{0};
    id = ++lastId;
}

bool Markup::Box::operator==(const Box& other) const {
    return imageRect == other.imageRect && note == other.note && hides == other.hides &&
           element == other.element && notePosition == other.notePosition && paper == other.paper;
}

Markup::Markup(const QImage& image)
    : Markup(image, MarkupRender::heavyBlur(image), HighlightPalette::current()) {}

Markup::Markup(const QImage& image, std::optional<QImage> blurred, QColor color)
    : image(image), blurred(std::move(blurred)), color(color) {}

int Markup::number(qsizetype index) const {
    Q_ASSERT(index >= 0 && index < boxes.size());
    int count = 0;
    for (qsizetype i = 0; i <= index && i < boxes.size(); ++i)
        if (!boxes[i].hides) ++count;
    return count;
}

std::optional<QString> Markup::address() const {
    for (const PageLink& link : links)
        if (link.included) return link.url;
    return std::nullopt;
}

void Markup::setAddress(const std::optional<QString>& url) {
    links.clear();
    if (url) links.append(PageLink{*url, true});
}

bool Markup::hasAnnotations() const {
    return !boxes.isEmpty() || !trimmed(comment).isEmpty() || cropImageRect;
}

QRectF Markup::keptImageRect() const {
    return cropImageRect ? *cropImageRect : QRectF(QPointF(0, 0), image.size());
}

QList<Markup::Box> Markup::organisedBoxes() const {
    const double rowTolerance = std::max(30.0, 0.04 * image.height());
    QList<Box> marks;
    QList<Box> blurs;
    for (const Box& box : boxes)
        (box.hides ? blurs : marks).append(box);

    auto before = [rowTolerance](const Box& a, const Box& b) {
        if (std::abs(a.imageRect.top() - b.imageRect.top()) > rowTolerance)
            return a.imageRect.top() < b.imageRect.top();
        return a.imageRect.left() < b.imageRect.left();
    };
    // The rule is not transitive (rows are fuzzy), which the standard sorts do not allow;
    // an insertion sort is stable and well defined for any rule.
    for (qsizetype i = 1; i < marks.size(); ++i) {
        Box moving = marks[i];
        qsizetype j = i;
        while (j > 0 && before(moving, marks[j - 1])) {
            marks[j] = marks[j - 1];
            --j;
        }
        marks[j] = moving;
    }
    for (Box& mark : marks)
        mark.note = tidiedNote(mark.note);
    return marks + blurs;
}

} // namespace ombrel
