#pragma once
// The pieces of painting that live in their own files: the comment strip under the
// picture, the notes (sticky notes and glass bubbles) and soft shadows.

#include "MarkupRender.h"
#include "MarkupText.h"

namespace ombrel::render_parts {

// MARK: Comment strip (MarkupStrip.cpp)

// The text under the picture at text size `sizePx`: page addresses, the picture's comment
// and, for the list look, the numbered comments of the marks. Empty when there is nothing.
StyledText stripText(const Markup& markup, const MarkLook& look, double sizePx);
// The strip's height for that text; 0 when it is empty.
double stripHeightFor(const StyledText& text, double keptWidth, double sizePx);
// The strip's text size and height under the size setting ("Auto" shrinks to a budget).
std::pair<double, double> stripSizeAndHeight(const Markup& markup, const MarkLook& look);
void paintStrip(QPainter& painter, const Markup& markup, const MarkLook& look, const MarkupMetrics& metrics);

// MARK: Notes (MarkupNotes.cpp)

// The ink of a note's text: the paper's ink on sticky notes, white on glass.
QColor inkFor(const Markup::Box& box, NoteLook look);
// The face of a note's body text at `noteUnit` image pixels (handwriting on sticky paper).
QFont noteFont(const MarkLook& look, double noteUnit);

bool showsNote(const Markup& markup, qsizetype index, std::optional<qsizetype> editing);
int notesShown(const Markup& markup, std::optional<qsizetype> editing);
std::vector<NoteFrame> placeNotes(const Markup& markup, const MarkLook& look, const MarkupMetrics& metrics,
                                  std::optional<qsizetype> editing);
void paintNotes(QPainter& painter, const Markup& markup, const MarkLook& look, const MarkupMetrics& metrics,
                std::optional<qsizetype> editing);

// The tilt of the sticky note of box `index`, in degrees.
double stickyTiltDegrees(qsizetype index);

// MARK: Shadows (MarkupNotes.cpp)

// A soft shadow of `path` in `color`, blurred by about `blurPx` (the width of its soft edge).
void paintSoftShadow(QPainter& painter, const QPainterPath& path, double blurPx, const QColor& color);

} // namespace ombrel::render_parts
