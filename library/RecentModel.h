#pragma once
// What the Recent panel shows, worked out without any widget: the tile sizes, the
// listing grouped by day with its count line and empty state, the clean-up choices,
// the confirmation texts, tile names and where the panel goes on the screen.

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

namespace ombrel {

enum class RecentTileSize { Small = 0, Medium = 1, Large = 2, Huge = 3 };

struct RecentTileLayout {
    RecentTileSize size;
    const char* name;   // shown in the size control's tool tips
    const char* symbol; // the size control's icon
    int columns;
    int thumbnailHeight; // points
    int panelWidth;      // points
    int panelHeight;     // points
};

namespace RecentTiles {
// The four sizes, smallest first.
const QList<RecentTileLayout>& all();
const RecentTileLayout& layout(RecentTileSize size);
// The stored choice (`recentTileSize`); absent or invalid means small.
RecentTileSize current();
void setCurrent(RecentTileSize size);
// Space between tiles and between rows, in points.
inline constexpr int spacing = 10;
} // namespace RecentTiles

// One day of the listing: its heading and the items of that day, newest first.
struct RecentDay {
    QString title;
    QDate date;
    QStringList items;
};

struct RecentListing {
    QString query; // the trimmed search text
    QList<RecentDay> days;
    int shownCount = 0;
    QString countText;
    // Without a search, when the library holds more than is shown.
    bool showsNewestLine = false;
    // Set when nothing is shown.
    QString emptyTitle;
    QString emptyDetail;

    QStringList shown() const;
    bool isEmpty() const { return shownCount == 0; }
};

namespace RecentText {
// "1 item" / "N items".
QString items(int count);
// "1 found" / "N found".
QString found(int count);
inline const QString newestLine = QStringLiteral("Showing the newest 60. Search to find older ones.");
inline const QString emptyTitle = QStringLiteral("Nothing here yet");
inline const QString emptyDetail =
    QStringLiteral("Recordings, and pictures you copy, send or close with marks on them, will wait here.");
QString noMatch(const QString& query);
// The day header's trash button describes the day for the confirmation.
QString dayDescription(const QString& dayTitle);
// The confirmation alert of a removal of several items.
QString confirmTitle(int count);
QString confirmDetail(const QString& description);
// "Screenshot from 14:30" or "Recording from 3 Dec, 09:05".
QString tileName(const QString& path, const QDateTime& modified, const QDateTime& now);
// The calendar badge of a day header: month abbreviation and day number.
QString badgeMonth(const QDate& date);
} // namespace RecentText

// Builds the listing from the whole library (`all` newest first) and the search text.
// `search` answers the items matching a query within a list (the capture store's search).
RecentListing buildListing(const QString& searchText, const QStringList& all, const QDateTime& now);

// One entry of the "Clean Up…" menu.
struct CleanUpChoice {
    QString label; // "Older Than a Week", …
    QStringList items;
    QString title() const; // "Move Older Than a Week to Trash (3)…"
    bool enabled() const { return !items.isEmpty(); }
    QString description() const { return label.toLower(); }
};
QList<CleanUpChoice> cleanUpChoices(const QDateTime& now);

// What the panel is placed by: the floating buttons (beside them), or the tray icon
// (below it on a bar at the top of the screen, above it on one at the bottom).
enum class RecentAnchor { Buttons, TrayItem };

// The panel's frame: `size` next to `anchor` (or, when empty, in the top right corner),
// inside the visible area of the anchor's screen, else of the first screen in
// `visibleAreas` (the main screen first). A stored frame that lies on one of the screens
// wins, pulled inside that screen's visible area. All rectangles in global logical coordinates.
QRect placeRecentPanel(QSize size, const QRect& anchor, const QList<QRect>& screens,
                       const QList<QRect>& visibleAreas, const std::optional<QRect>& stored,
                       RecentAnchor kind = RecentAnchor::Buttons);

// The stored form of a frame, "{{x, y}, {w, h}}", and back.
QString rectString(const QRect& r);
std::optional<QRect> rectFromString(const QString& s);

} // namespace ombrel
