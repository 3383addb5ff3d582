#pragma once
// A short message that fades in near the bottom of a window or of the screen, stays for
// a time that grows with its length, and fades out. It never takes focus or clicks, and
// at most one is shown at a time. Main thread only.

#include <QPointer>
#include <QString>
#include <QWidget>

namespace ombrel {

class Toast {
  public:
    static inline const QString defaultSymbol = QStringLiteral("checkmark.circle.fill");
    static inline const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");
    static constexpr int maxLines = 3;
    static constexpr int maxTextWidth = 360;
    static constexpr int fadeInMs = 180;
    static constexpr int fadeOutMs = 350;

    static void show(const QString& text, const QString& symbol = defaultSymbol, QWidget* over = nullptr,
                     bool longer = false);
    static void warn(const QString& text, QWidget* over = nullptr);

    // How long a text stays before it fades out.
    static double visibleSeconds(const QString& text, bool longer);

    // The panel now showing, or null (for tests and for callers that position beside it).
    static QWidget* panel();
    // The message of the toast now showing, or "".
    static QString currentText();
    // The text shown in the panel after cutting it to three lines.
    static QString shownText();
};

} // namespace ombrel
