#pragma once
// Reads the user-interface elements of the application a picture was taken of, through
// the accessibility bus, and the web address of the page a captured browser shows.
// Everything here may wait on other applications: call it off the GUI thread.

#include "platform/AccessibleTree.h"
#include "understanding/ScreenElement.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <optional>

namespace ombrel {

namespace AccessibilityReader {

// Where a picture came from: the application whose windows are read and the captured area
// in global screen pixels (origin at the top left of the primary screen, y downward).
struct Source {
    qint32 processID = 0;
    QRectF screenFrame;
    bool operator==(const Source&) const = default;
};

// Limits of one element reading.
struct Limits {
    int budgetMs = 2000; // wall-clock limit
    int maxNodes = 4000; // elements visited
    int maxDepth = 40;   // levels below a window
};
inline constexpr int messagingTimeoutMs = 250; // per question to the application
inline constexpr double minSidePoints = 6;     // smaller elements (after clipping) are left out
inline constexpr double maxAreaShare = 0.85;   // larger elements are whole-window containers
inline constexpr double maxSectionHeight = 60; // sections this high or lower are left out (pixels)

// Limits of the address search in a browser window.
inline constexpr int addressSearchMs = 800;
inline constexpr int addressSearchNodes = 2500;
inline constexpr int builtInSearchNodes = 12000;
// Windows smaller than this are not asked for an address (points).
inline constexpr double minBrowserWidth = 200, minBrowserHeight = 150;
inline constexpr double addressShare = 0.08;  // least share of the capture a browser window covers
inline constexpr double browserShare = 0.15;  // the same for the browser to ask when none answered
inline constexpr double windowMatchSlack = 6; // a window frame matches the one asked within this

// The browsers, by desktop-file id (or window class), compared without regard to case.
const QStringList& browsers();
// Applications that show web pages inside themselves, with the hosts of their own pages,
// which are never reported as the page shown.
const QHash<QString, QSet<QString>>& builtInBrowsers();
bool isBrowser(const QString& bundleId);

// The kind of an element by its role on the accessibility bus; `editable` tells an
// editable combo box (a field) from a pop-up one (a button), `isLeaf` a piece of text from a
// container of other elements. Other roles have no kind.
std::optional<ScreenElement::Kind> kind(const QString& role, bool editable = false, bool isLeaf = true);

// The elements of the source application's windows inside the captured area, in picture
// pixels. Empty when accessibility is not available or the application is not on the bus.
QList<ScreenElement> elements(const Source& source, QSize imageSize);
// The same walk over an application element already in hand.
QList<ScreenElement> elements(AccessibleNode& application, const Source& source, QSize imageSize,
                              const Limits& limits = {});

// The addresses of the browser pages visible in the captured area, front-most first.
QStringList pageAddresses(const Source& source);
// The address of the page in one browser window (the active one when no frame is given).
std::optional<QString> pageAddress(qint64 processID, std::optional<QRectF> windowFrame);
// The browser to ask when accessibility found no address.
std::optional<qint64> browserProcess(const Source& source);

// A web address from an address bar or a document, or none when it is not one.
std::optional<QString> cleanAddress(const QString& raw);
// Whether the address is on one of the hosts or their subdomains.
bool isOwn(const QString& address, const QSet<QString>& hosts);

} // namespace AccessibilityReader

} // namespace ombrel
