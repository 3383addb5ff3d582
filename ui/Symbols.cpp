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
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path fill-rule="evenodd" d="M3 7h4l2-2.5h6L17 7h4v13H3zM16 13a4 4 0 1 0-8 0a4 4 0 1 0 8 0z" fill="currentColor"/><circle cx="12" cy="13" r="2.6" fill="currentColor"/></svg>)"},
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
        {"arrow.down.right.and.arrow.up.left",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"><path d="M20 4l-6 6M14 5v5h5M4 20l6-6M10 19v-5H5"/></svg>)"},
        {"ant",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.5" stroke-linecap="round"><ellipse cx="12" cy="6.2" rx="2.3" ry="2" fill="currentColor" stroke="none"/><ellipse cx="12" cy="11" rx="2" ry="2.4" fill="currentColor" stroke="none"/><ellipse cx="12" cy="17.4" rx="3" ry="4" fill="currentColor" stroke="none"/><path d="M10.8 4.6L9 1.8M13.2 4.6L15 1.8M10.2 10l-4-2.5-1.5 1.5M13.8 10l4-2.5 1.5 1.5M10 11.8l-4.5 1-1 2.5M14 11.8l4.5 1 1 2.5M10 13.2l-3.5 3.5-.5 3.5M14 13.2l3.5 3.5.5 3.5"/></svg>)"},
        {"pause.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><rect x="5.5" y="4" width="4.5" height="16" rx="1.2" fill="currentColor"/><rect x="14" y="4" width="4.5" height="16" rx="1.2" fill="currentColor"/></svg>)"},
        {"crop",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M6 2v16h16"/><path d="M2 6h16v16"/></svg>)"},
        {"speaker.slash",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M3 9h4l5-4v14l-5-4H3z"/><path d="M16 9l5 6M21 9l-5 6"/></svg>)"},
        {"speaker.slash.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M3 9h4l5-4v14l-5-4H3z" fill="currentColor"/><path d="M16 9l5 6M21 9l-5 6"/></svg>)"},
        {"text.bubble",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M4 4h16a1.5 1.5 0 0 1 1.5 1.5v10A1.5 1.5 0 0 1 20 17h-9l-5 4v-4H4a1.5 1.5 0 0 1-1.5-1.5v-10A1.5 1.5 0 0 1 4 4z"/><path d="M7 9h10M7 12.5h6"/></svg>)"},
        {"waveform",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M3 12h1M6.5 8v8M10 4v16M13.5 7v10M17 9.5v5M20.5 11v2"/></svg>)"},
        {"globe",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><circle cx="12" cy="12" r="9.5"/><path d="M2.5 12h19M12 2.5c-3 3-3 16 0 19M12 2.5c3 3 3 16 0 19"/></svg>)"},
        {"captions.bubble",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M4 4h16a1.5 1.5 0 0 1 1.5 1.5v10A1.5 1.5 0 0 1 20 17h-9l-5 4v-4H4a1.5 1.5 0 0 1-1.5-1.5v-10A1.5 1.5 0 0 1 4 4z"/><path d="M10 8.5a2.5 2.5 0 1 0 0 4M16.5 8.5a2.5 2.5 0 1 0 0 4"/></svg>)"},
        {"list.number",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M10 6h11M10 12h11M10 18h11"/><path d="M4 4.5l1.5-1V8M3.5 14a1.5 1.5 0 1 1 2.6 1L3.5 18h3" stroke-width="1.4"/></svg>)"},
        {"arrow.uturn.backward",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M9 14L4 9l5-5"/><path d="M4 9h10.5a5.5 5.5 0 0 1 0 11H11"/></svg>)"},
        {"square.and.arrow.down",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M8 8H5.5v13h13V8H16"/><path d="M12 2v12M8 10.5l4 4 4-4"/></svg>)"},
        {"textformat",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><text x="1" y="19" font-family="DejaVu Sans" font-weight="bold" font-size="16" fill="currentColor">A</text><text x="12.5" y="19" font-family="DejaVu Sans" font-weight="bold" font-size="11" fill="currentColor">a</text></svg>)"},
        {"paperplane.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M2.5 11.2L21.5 3l-6.8 18-3.4-7.4z" fill="currentColor"/><path d="M11.3 13.6L21.5 3" stroke="#fff" stroke-width="1.2"/></svg>)"},
        {"wand.and.stars", R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round"><path d="M3.5 20.5L15 9"/><path d="M13.5 7.5l3 3"/><path d="M18 2.5v3M16.5 4h3M20.5 10v2.4M19.3 11.2h2.4M9 3v2.4M7.8 4.2h2.4"/></svg>)"},
        {"sparkle",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M12 2c.7 5.2 2.8 7.3 8 8-5.2.7-7.3 2.8-8 8-.7-5.2-2.8-7.3-8-8 5.2-.7 7.3-2.8 8-8z" fill="currentColor"/><path d="M19 15.5c.3 2 1 2.7 3 3-2 .3-2.7 1-3 3-.3-2-1-2.7-3-3 2-.3 2.7-1 3-3z" fill="currentColor"/></svg>)"},
        {"keyboard",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round"><rect x="2" y="6" width="20" height="12" rx="2"/><path d="M6 10h.01M10 10h.01M14 10h.01M18 10h.01M6 14h.01M18 14h.01M9 14h6"/></svg>)"},
        {"mic",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round"><rect x="9" y="2.5" width="6" height="11" rx="3"/><path d="M5.5 11a6.5 6.5 0 0 0 13 0M12 17.5v4M8.5 21.5h7"/></svg>)"},
        {"iphone",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><rect x="6" y="1.5" width="12" height="21" rx="2.5"/><path d="M10 4h4" stroke-linecap="round"/></svg>)"},
        // The floating buttons and the capture picker.
        {"photo.stack",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M6 4.5h12M4.5 7.5h15"/><rect x="3" y="10.5" width="18" height="11" rx="2"/><path d="M6 19l4-4 3 3 2-2 3 3" stroke-linecap="round"/></svg>)"},
        {"display",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><rect x="2.5" y="3.5" width="19" height="13" rx="2"/><path d="M9 21h6M12 16.5V21"/></svg>)"},
        {"arrow.down.doc",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M14 2.5H6.5a2 2 0 0 0-2 2v15a2 2 0 0 0 2 2h11a2 2 0 0 0 2-2V8z"/><path d="M14 2.5V8h5.5M12 11v6.5M9 14.5l3 3 3-3"/></svg>)"},
        {"macwindow",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><rect x="2.5" y="4" width="19" height="16" rx="2.5"/><path d="M2.5 9h19"/><circle cx="6" cy="6.5" r="0.6" fill="currentColor"/><circle cx="8.5" cy="6.5" r="0.6" fill="currentColor"/></svg>)"},
        // The Recent panel.
        {"pencil",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M4 20l1-4.5L16 4.5l3.5 3.5L8.5 19z"/><path d="M14 7l3.5 3.5"/></svg>)"},
        {"eye",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><path d="M1.8 12C4.5 7.2 8 5 12 5s7.5 2.2 10.2 7c-2.7 4.8-6.2 7-10.2 7S4.5 16.8 1.8 12z"/><circle cx="12" cy="12" r="3.2" fill="currentColor"/></svg>)"},
        {"doc.on.doc",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><rect x="8" y="7" width="12" height="15" rx="2"/><path d="M16 4.5V4a2 2 0 0 0-2-2H6a2 2 0 0 0-2 2v11a2 2 0 0 0 2 2h.5"/></svg>)"},
        {"paperplane",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M2.5 11.5L21.5 3l-6 18-4-7.5z"/><path d="M11.5 13.5L21.5 3"/></svg>)"},
        {"trash",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M3.5 6h17M9 6V3.5h6V6M5.5 6l1 15h11l1-15M10 10v7M14 10v7"/></svg>)"},
        {"arrow.uturn.backward.circle.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r="11" fill="currentColor"/><path d="M10 7.5L6.5 11 10 14.5M6.8 11H14a3.5 3.5 0 0 1 0 7h-2" fill="none" stroke="#fff" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/></svg>)"},
        {"clock.badge.xmark",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round"><path d="M20 11.5A9 9 0 1 1 12.5 3"/><path d="M11 7v5l3 2"/><path d="M16.5 3.5l5 5M21.5 3.5l-5 5"/></svg>)"},
        {"xmark",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="2.2" stroke-linecap="round"><path d="M5.5 5.5l13 13M18.5 5.5l-13 13"/></svg>)"},
        {"gearshape",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M10.3 2h3.4l.6 2.8 1.9.8 2.4-1.6 2.4 2.4-1.6 2.4.8 1.9 2.8.6v3.4l-2.8.6-.8 1.9 1.6 2.4-2.4 2.4-2.4-1.6-1.9.8-.6 2.8h-3.4l-.6-2.8-1.9-.8-2.4 1.6-2.4-2.4 1.6-2.4-.8-1.9L2 13.7v-3.4l2.8-.6.8-1.9L4 5.4 6.4 3l2.4 1.6 1.9-.8z"/><circle cx="12" cy="12" r="3.2"/></svg>)"},
        {"questionmark.circle",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round"><circle cx="12" cy="12" r="10"/><path d="M9.2 9.3a2.9 2.9 0 1 1 4.3 2.6c-.9.5-1.5 1.1-1.5 2.1v.6"/><circle cx="12" cy="17.6" r="1.1" fill="currentColor" stroke="none"/></svg>)"},
        {"folder",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M2.5 6a2 2 0 0 1 2-2h5l2 2.5h8a2 2 0 0 1 2 2V18a2 2 0 0 1-2 2h-15a2 2 0 0 1-2-2z"/></svg>)"},
        {"rectangle.grid.1x2",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><rect x="3" y="3" width="18" height="7.5" rx="1.5"/><rect x="3" y="13.5" width="18" height="7.5" rx="1.5"/></svg>)"},
        {"square.grid.2x2",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><rect x="3" y="3" width="7.5" height="7.5" rx="1.5"/><rect x="13.5" y="3" width="7.5" height="7.5" rx="1.5"/><rect x="3" y="13.5" width="7.5" height="7.5" rx="1.5"/><rect x="13.5" y="13.5" width="7.5" height="7.5" rx="1.5"/></svg>)"},
        {"rectangle.grid.2x2",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8"><rect x="1.5" y="4" width="9.5" height="7" rx="1.5"/><rect x="13" y="4" width="9.5" height="7" rx="1.5"/><rect x="1.5" y="13" width="9.5" height="7" rx="1.5"/><rect x="13" y="13" width="9.5" height="7" rx="1.5"/></svg>)"},
        {"square.grid.3x2",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.6"><rect x="1.5" y="5" width="5.6" height="5.6" rx="1"/><rect x="9.2" y="5" width="5.6" height="5.6" rx="1"/><rect x="16.9" y="5" width="5.6" height="5.6" rx="1"/><rect x="1.5" y="13.4" width="5.6" height="5.6" rx="1"/><rect x="9.2" y="13.4" width="5.6" height="5.6" rx="1"/><rect x="16.9" y="13.4" width="5.6" height="5.6" rx="1"/></svg>)"},
        {"play.fill",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M6.5 3.5v17l14-8.5z" fill="currentColor"/></svg>)"},
        {"magnifyingglass",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="2" stroke-linecap="round"><circle cx="10" cy="10" r="6.5"/><path d="M15 15l6 6"/></svg>)"},
        {"photo",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><rect x="2.5" y="4" width="19" height="16" rx="2"/><circle cx="8.5" cy="9.5" r="1.8"/><path d="M3 17.5l5.5-5 4 3.5 3-2.5 5.5 4.5"/></svg>)"},
    };
    return svg;
}

// The share menu's symbols.
const QHash<QString, QByteArray>& sharingSources() {
    static const QHash<QString, QByteArray> svg{
        {"square.and.arrow.up",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><path d="M12 2.5v12M7.5 7L12 2.5 16.5 7"/><path d="M8.5 10H5.5v11h13V10h-3"/></svg>)"},
        {"envelope",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><rect x="2.5" y="5" width="19" height="14" rx="2"/><path d="M3 6l9 7 9-7"/></svg>)"},
        {"dot.radiowaves.left.and.right",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round"><circle cx="12" cy="12" r="2" fill="currentColor" stroke="none"/><path d="M8.2 8.2a5.4 5.4 0 0 0 0 7.6M15.8 8.2a5.4 5.4 0 0 1 0 7.6M5.3 5.3a9.5 9.5 0 0 0 0 13.4M18.7 5.3a9.5 9.5 0 0 1 0 13.4"/></svg>)"},
        {"ellipsis.circle",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r="10" fill="none" stroke="currentColor" stroke-width="1.8"/><circle cx="7.5" cy="12" r="1.5" fill="currentColor"/><circle cx="12" cy="12" r="1.5" fill="currentColor"/><circle cx="16.5" cy="12" r="1.5" fill="currentColor"/></svg>)"},
        {"doc.richtext",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><path d="M5 2.5h9.5L19 7v14.5H5z"/><path d="M14 2.5V7.5h5"/><path d="M7.5 18l3-3.5 2 2 1.5-1.5 2.5 3z" fill="currentColor" stroke="none"/><circle cx="9.5" cy="10.5" r="1.3" fill="currentColor" stroke="none"/></svg>)"},
        {"externaldrive.badge.icloud",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linejoin="round"><rect x="2" y="13" width="20" height="8" rx="2"/><circle cx="17.5" cy="17" r="1" fill="currentColor" stroke="none"/><path d="M8 11h8.5a2.8 2.8 0 0 0 .2-5.6A4.3 4.3 0 0 0 8.6 5 3 3 0 0 0 8 11z"/></svg>)"},
        {"arrow.down.circle",
         R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><circle cx="12" cy="12" r="10"/><path d="M12 6.5v10M7.5 12.5l4.5 4.5 4.5-4.5"/></svg>)"},
    };
    return svg;
}

// The outline of a symbol, from the table that holds it.
QByteArray source(const QString& name) {
    const QByteArray svg = sources().value(name);
    return svg.isEmpty() ? sharingSources().value(name) : svg;
}

} // namespace

bool has(const QString& name) {
    return !source(name).isEmpty();
}

QPixmap pixmap(const QString& name, int sizePx, const QColor& color, qreal dpr) {
    const int device = qMax(1, qRound(sizePx * dpr));
    QPixmap out(device, device);
    out.fill(Qt::transparent);
    QByteArray svg = source(name);
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
    // Drawing six sizes from SVG is slow next to a look-up, and long lists ask for the same
    // few icons again and again (icons are made on the GUI thread only).
    static QHash<QString, QIcon> made;
    const QString key = name + QLatin1Char('|') + color.name(QColor::HexArgb);
    if (const auto hit = made.constFind(key); hit != made.constEnd()) return *hit;
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(pixmap(name, size, color));
    made.insert(key, icon);
    return icon;
}

} // namespace ombrel::Symbols
