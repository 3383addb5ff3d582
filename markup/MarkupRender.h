#pragma once
// Painting a mark-up. One routine paints everything in image pixels (origin top left, y
// downward) into a QPainter set up by the caller: the editor's canvas paints it live, and
// `pngData` flattens it into the finished picture. All sizes scale with the width of the
// kept part, so marks look alike on a small window grab and on a 5K screen.

#include "MarkStyle.h"
#include "Markup.h"

#include <QByteArray>
#include <QPainter>
#include <optional>
#include <vector>

namespace ombrel {

// The look choices that painting reads, taken from the settings once per paint.
struct MarkLook {
    QString fontName = QStringLiteral("System");
    QString sizeName = QStringLiteral("Auto");
    QString borderName = QStringLiteral("Thin");
    NoteLook noteLook = NoteLook::List;
    static MarkLook current();
};

struct PaintOptions {
    std::optional<qsizetype> selected; // the box outlined twice as thick
    bool frozenScreen = false;         // the picture is shown over the whole screen: shade the crop
    std::optional<qsizetype> editing;  // the box whose note is being typed (painted without text)
};

// The derived sizes of one paint, in image pixels.
struct MarkupMetrics {
    double keptWidth = 0;
    double baseFontSize = 0;
    double fontSize = 0; // of the comment strip
    double padding = 0;
    double textWidth = 0;
    double lineWidth = 0;
    double badgeUnit = 0;
    double noteUnit = 0;
    double notePadding = 0;
    double stripHeight = 0;
    int notesShown = 0;
    QSizeF canvasSize;
};

struct NoteFrame {
    qsizetype box;
    QRectF imageRect;
};

namespace MarkupRender {

// The widest kept part whose text is laid out. A marks file may say anything; text sized
// for a wider one would take the layout minutes, so such a mark-up gets no strip and no notes.
inline constexpr double maxTextWidth = 50'000;
bool laysOutText(const Markup& markup);
// The largest finished picture that is made, in pixels.
inline constexpr double maxCanvasPixels = 256.0 * 1024 * 1024;

MarkupMetrics metrics(const Markup& markup, const MarkLook& look, std::optional<qsizetype> editing = {});

void paint(QPainter& painter, const Markup& markup, const PaintOptions& options = {},
           const MarkLook& look = MarkLook::current());

// The finished picture: the kept part with the comment strip under it.
std::optional<QImage> flattened(const Markup& markup, const MarkLook& look = MarkLook::current());
std::optional<QByteArray> pngData(const Markup& markup, const MarkLook& look = MarkLook::current());

// The frame of every note shown, in box order (empty for the list look).
std::vector<NoteFrame> noteFrames(const Markup& markup, std::optional<qsizetype> editing = {},
                                  const MarkLook& look = MarkLook::current());
// Where the canvas lays its text field for the note of box `index`.
std::optional<QRectF> noteTypingRect(const Markup& markup, qsizetype index,
                                     const MarkLook& look = MarkLook::current());

// The heavily blurred copy of a picture that blur boxes show: pixellated, then a Gaussian
// blur. Nothing when it cannot be made.
std::optional<QImage> heavyBlur(const QImage& image);

// The text size of the comment strip and the strip's height at a text size.
double stripFontSize(const Markup& markup, const MarkLook& look);
double stripHeight(const Markup& markup, const MarkLook& look, double sizePx);

} // namespace MarkupRender

} // namespace ombrel
