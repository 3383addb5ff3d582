#include "ScreenElement.h"

namespace ombrel {

QString ScreenElement::rawValue(Kind kind) {
    switch (kind) {
    case Kind::Button:
        return QStringLiteral("Button");
    case Kind::Link:
        return QStringLiteral("Link");
    case Kind::Field:
        return QStringLiteral("Field");
    case Kind::Image:
        return QStringLiteral("Image");
    case Kind::Text:
        return QStringLiteral("Text");
    case Kind::Section:
        break;
    }
    return QStringLiteral("Section");
}

QString ScreenElement::label() const {
    QString shown = title;
    if (shown.size() > maxTitleLength) shown = shown.left(cutTitleLength) + QChar(0x2026);
    if (shown.isEmpty()) return {};
    const QString quoted = QChar(0x201C) + shown + QChar(0x201D);
    switch (kind) {
    case Kind::Button:
    case Kind::Link:
    case Kind::Field:
        return rawValue(kind) + QLatin1Char(' ') + quoted;
    case Kind::Text:
        return quoted;
    case Kind::Image:
    case Kind::Section:
        break;
    }
    return {};
}

QString ScreenElement::hoverName() const {
    const QString name = label();
    return name.isEmpty() ? rawValue(kind) : name;
}

} // namespace ombrel
