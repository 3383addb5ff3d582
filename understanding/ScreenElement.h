#pragma once
// One user-interface element found on a picture: what sort of thing it is, what it is
// called and where it is, in picture pixels.

#include <QRectF>
#include <QString>

namespace ombrel {

struct ScreenElement {
    enum class Kind : quint8 { Button, Link, Field, Image, Text, Section };
    Kind kind = Kind::Section;
    QString title;    // its name or visible text; may be empty
    QRectF imageRect; // picture pixels, origin top left, y downward

    // Titles longer than this are cut to `cutTitleLength` characters and an ellipsis.
    static constexpr qsizetype maxTitleLength = 60;
    static constexpr qsizetype cutTitleLength = 57;

    // The word shown to the user for a kind: "Button", "Link", "Field", "Image", "Text", "Section".
    static QString rawValue(Kind kind);

    // The name of a box made from this element: Button “Save”, “Some text”; empty (absent)
    // for images, sections and elements without a title.
    QString label() const;
    // The label, or the kind's word when there is none.
    QString hoverName() const;

    bool operator==(const ScreenElement&) const = default;
};

} // namespace ombrel
