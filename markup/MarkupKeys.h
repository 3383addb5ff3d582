#pragma once
// The mark-up settings: one table of key, type and the value a missing key means.

#include "platform/Defaults.h"

namespace ombrel::MarkupKeys {

// Font of the text in marks: "System", "Rounded", "Serif", "Mono" or "Handwriting".
inline constexpr StringKey commentFont{"commentFont", "System"};
// Text size name from MarkStyle::sizes; "Auto" shrinks the text to fit the picture.
inline constexpr StringKey commentSize{"commentSize", "Auto"};
// Box border weight name from MarkStyle::borders.
inline constexpr StringKey boxBorder{"boxBorder", "Thin"};
// Highlight colour name from HighlightPalette::choices.
inline constexpr StringKey highlightColor{"highlightColor", "Red"};
// How comments of marks are shown: the raw value of NoteLook. Declared with the app-wide
// keys; an empty value reads as "list".
inline constexpr const StringKey& noteLook = Keys::noteLookChoiceV2;
// Index into NotePaper::colors for new boxes.
inline constexpr NumberKey notePaper{"notePaper", 0};

} // namespace ombrel::MarkupKeys
