#include "Symbols.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace ombrel::Symbols {

namespace {

// 24 × 24 outlines; "currentColor" is replaced by the colour asked for.
const QHash<QString, QByteArray>& sources() {
    static const QHash<QString, QByteArray> svg{
        {"checkmark.circle.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r="11" fill="currentColor"/><path d="M6.5 12.5l3.6 3.6 7.4-8" fill="none" stroke="#fff" stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/></svg>)"},
        {"exclamationmark.triangle.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M12 1.8L23.2 21.6H0.8z" fill="currentColor" stroke="currentColor" stroke-width="1.2" stroke-linejoin="round"/><path d="M12 8.5v6" stroke="#fff" stroke-width="2.4" stroke-linecap="round"/><circle cx="12" cy="18.2" r="1.4" fill="#fff"/></svg>)"},
        {"camera.viewfinder",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round"><path d="M2 7V4a2 2 0 0 1 2-2h3M17 2h3a2 2 0 0 1 2 2v3M22 17v3a2 2 0 0 1-2 2h-3M7 22H4a2 2 0 0 1-2-2v-3"/><path d="M7 9h2l1-1.5h4L15 9h2v7H7z" fill="currentColor"/><circle cx="12" cy="12.4" r="2" fill="#fff" stroke="none"/></svg>)"},
        {"camera",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M3 7.5h4l2-2.5h6l2 2.5h4V19H3z"/><circle cx="12" cy="12.8" r="3.6"/></svg>)"},
        {"camera.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M3 7h4l2-2.5h6L17 7h4v13H3z" fill="currentColor"/><circle cx="12" cy="13" r="4" fill="#fff"/><circle cx="12" cy="13" r="2.6" fill="currentColor"/></svg>)"},
        {"record.circle",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r="10" fill="none" stroke="currentColor" stroke-width="2"/><circle cx="12" cy="12" r="5.5" fill="currentColor"/></svg>)"},
        {"stop.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><rect x="5" y="5" width="14" height="14" rx="2.5" fill="currentColor"/></svg>)"},
        {"hourglass",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M6 2.5h12M6 21.5h12"/><path d="M7.5 2.5c0 5 4.5 6.5 4.5 9.5s-4.5 4.5-4.5 9.5h9c0-5-4.5-6.5-4.5-9.5s4.5-4.5 4.5-9.5z"/><path d="M9.5 19.5h5l-2.5-3z" fill="currentColor"/></svg>)"},
        {"record.circle.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r="11" fill="currentColor"/><circle cx="12" cy="12" r="5" fill="#fff"/></svg>)"},
        {"photo.on.rectangle",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><rect x="5" y="3" width="16" height="13" rx="2"/><path d="M3 7v12a2 2 0 0 0 2 2h13"/><path d="M7 14l4-4 3 3 2-2 3 3"/></svg>)"},
        {"iphone",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><rect x="6" y="1.5" width="12" height="21" rx="2.5"/><path d="M10 4h4" stroke-linecap="round"/></svg>)"},
    };
    return svg;
}

} // namespace

bool has(const QString& name) { return sources().contains(name); }

QPixmap pixmap(const QString& name, int sizePx, const QColor& color, qreal dpr) {
    const int device = qMax(1, qRound(sizePx * dpr));
    QPixmap out(device, device);
    out.fill(Qt::transparent);
    QByteArray svg = sources().value(name);
    if (!svg.isEmpty()) {
        svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
        QSvgRenderer renderer(svg);
        QPainter painter(&out);
        renderer.render(&painter, QRectF(0, 0, device, device));
    }
    out.setDevicePixelRatio(dpr);
    return out;
}

QIcon icon(const QString& name, const QColor& color) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(pixmap(name, size, color));
    return icon;
}

} // namespace ombrel::Symbols
