#pragma once
// How a fresh capture is presented by the editor, and the look of comments.

#include "platform/Defaults.h"

#include <QList>
#include <QString>

namespace ombrel {

enum class CaptureStyle { OnScreen, MiniPanel };

struct CaptureStyleInfo {
    CaptureStyle style;
    const char* raw;
    const char* title;
};

inline const QList<CaptureStyleInfo>& captureStyles() {
    static const QList<CaptureStyleInfo> all{{CaptureStyle::OnScreen, "onScreen", "Mark on Screen"},
                                             {CaptureStyle::MiniPanel, "miniPanel", "Mini Panel"}};
    return all;
}

inline CaptureStyle currentCaptureStyle() {
    const QString raw = Defaults::get(Keys::captureStyle);
    return raw == QLatin1String("miniPanel") ? CaptureStyle::MiniPanel : CaptureStyle::OnScreen;
}

inline void setCurrentCaptureStyle(CaptureStyle style) {
    Defaults::set(Keys::captureStyle,
                  QString::fromLatin1(style == CaptureStyle::MiniPanel ? "miniPanel" : "onScreen"));
}

// The comment looks offered in Settings: raw value and title.
struct NoteLookChoice {
    const char* raw;
    const char* title;
};
inline const QList<NoteLookChoice>& noteLookChoices() {
    static const QList<NoteLookChoice> all{
        {"list", "List Under the Picture"}, {"sticky", "Sticky Notes"}, {"glass", "Glass Bubbles"}};
    return all;
}

// The global shortcut choices with their key codes and modifier masks in the classic
// event-manager encoding (command 0x100, shift 0x200, option 0x800, control 0x1000).
struct HotKeyChoice {
    const char* name;
    int keyCode;
    int modifiers;
};
inline const QList<HotKeyChoice>& hotKeyChoices() {
    static const QList<HotKeyChoice> all{{"Shift-Command-2", 19, 0x300},
                                         {"Option-Shift-S", 1, 0xA00},
                                         {"Control-Option-Space", 49, 0x1800},
                                         {"Off", 0, 0}};
    return all;
}

} // namespace ombrel
