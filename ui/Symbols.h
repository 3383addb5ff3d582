#pragma once
// The program's small icon set, named like the system symbols the screens call for
// ("camera.viewfinder", "checkmark.circle.fill" …), drawn from SVG at any size.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ombrel::Symbols {

// True when a symbol of that name exists.
bool has(const QString& name);
// The symbol drawn in `color` at `sizePx` × `sizePx` pixels (for a device pixel ratio of `dpr`).
QPixmap pixmap(const QString& name, int sizePx, const QColor& color, qreal dpr = 1.0);
QIcon icon(const QString& name, const QColor& color = QColor(Qt::black));

} // namespace ombrel::Symbols
