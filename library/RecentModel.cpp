#include "RecentModel.h"
#include "platform/ScreenSpace.h"

#include "CaptureStore.h"
#include "platform/Defaults.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace ombrel {

namespace {

const QLocale& british() {
    static const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
    return locale;
}

// Space kept between the panel and the edge of the screen or the button panel.
constexpr int edgeMargin = 12;

} // namespace

const QList<RecentTileLayout>& RecentTiles::all() {
    static const QList<RecentTileLayout> sizes{
        {RecentTileSize::Small, "Small", "rectangle.grid.1x2", 1, 112, 232, 560},
        {RecentTileSize::Medium, "Medium", "square.grid.2x2", 2, 112, 420, 600},
        {RecentTileSize::Large, "Large", "rectangle.grid.2x2", 2, 190, 620, 700},
        {RecentTileSize::Huge, "Extra large", "square.grid.3x2", 3, 170, 840, 720},
    };
    return sizes;
}

const RecentTileLayout& RecentTiles::layout(RecentTileSize size) {
    return all().at(int(size));
}

RecentTileSize RecentTiles::current() {
    const QVariant stored = Defaults::store().value(QString::fromLatin1(Keys::recentTileSize.name));
    bool ok = false;
    const double value = stored.toDouble(&ok);
    const int raw = int(value);
    if (!ok || value != raw || raw < 0 || raw >= all().size()) return RecentTileSize::Small;
    return RecentTileSize(raw);
}

void RecentTiles::setCurrent(RecentTileSize size) {
    Defaults::set(Keys::recentTileSize, int(size));
}

QStringList RecentListing::shown() const {
    QStringList list;
    for (const RecentDay& d : days)
        list += d.items;
    return list;
}

QString RecentText::items(int count) {
    return count == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(count);
}

QString RecentText::found(int count) {
    return count == 1 ? QStringLiteral("1 found") : QStringLiteral("%1 found").arg(count);
}

QString RecentText::noMatch(const QString& query) {
    return QStringLiteral("Nothing matches \u201C") + query +
           QStringLiteral("\u201D. Try a word from a comment, or a day such as yesterday.");
}

QString RecentText::dayDescription(const QString& dayTitle) {
    const bool near = dayTitle == QLatin1String("Today") || dayTitle == QLatin1String("Yesterday");
    return QStringLiteral("everything from ") + (near ? dayTitle.toLower() : dayTitle);
}

QString RecentText::confirmTitle(int count) {
    return count == 1 ? QStringLiteral("Move 1 item to the Trash?")
                      : QStringLiteral("Move %1 items to the Trash?").arg(count);
}

QString RecentText::confirmDetail(const QString& description) {
    return QStringLiteral("That's ") + description +
           QStringLiteral(". You can still get them back from the Trash until you empty it.");
}

QString RecentText::tileName(const QString& path, const QDateTime& modified, const QDateTime& now) {
    const QDateTime local = modified.toLocalTime();
    const bool today = local.date() == now.toLocalTime().date();
    const QString time =
        british().toString(local, today ? QStringLiteral("HH:mm") : QStringLiteral("d MMM, HH:mm"));
    return (CaptureStore::isVideo(path) ? QStringLiteral("Recording") : QStringLiteral("Screenshot")) +
           QStringLiteral(" from ") + time;
}

QString RecentText::badgeMonth(const QDate& date) {
    return british().toString(date, QStringLiteral("MMM"));
}

RecentListing buildListing(const QString& searchText, const QStringList& all, const QDateTime& now) {
    RecentListing listing;
    listing.query = searchText.trimmed();
    const QStringList shown = listing.query.isEmpty() ? all.mid(0, CaptureStore::panelLimit)
                                                      : CaptureStore::search(listing.query, all, now);
    listing.shownCount = int(shown.size());
    listing.countText =
        listing.query.isEmpty() ? RecentText::items(int(all.size())) : RecentText::found(listing.shownCount);
    if (shown.isEmpty()) {
        if (listing.query.isEmpty()) {
            listing.emptyTitle = RecentText::emptyTitle;
            listing.emptyDetail = RecentText::emptyDetail;
        } else {
            listing.emptyTitle = RecentText::noMatch(listing.query);
        }
        return listing;
    }
    // Runs of the same day title, in the order given.
    for (const QString& path : shown) {
        const QDateTime modified = CaptureStore::modified(path);
        const QString title = dayTitle(modified, now);
        if (listing.days.isEmpty() || listing.days.last().title != title)
            listing.days.append({title, modified.toLocalTime().date(), {}});
        listing.days.last().items.append(path);
    }
    listing.showsNewestLine = listing.query.isEmpty() && all.size() > shown.size();
    return listing;
}

QString CleanUpChoice::title() const {
    return QStringLiteral("Move %1 to Trash (%2)\u2026").arg(label).arg(items.size());
}

QList<CleanUpChoice> cleanUpChoices(const QDateTime& now) {
    return {
        {QStringLiteral("Older Than a Week"), CaptureStore::older(7, now)},
        {QStringLiteral("Older Than a Month"), CaptureStore::older(30, now)},
        {QStringLiteral("Everything"), CaptureStore::all()},
    };
}

QRect placeRecentPanel(QSize size, const QRect& anchor, const QList<QRect>& screens,
                       const QList<QRect>& visibleAreas, const std::optional<QRect>& stored,
                       RecentAnchor kind) {
    auto areaOf = [&](const QRect& r) -> std::optional<QRect> {
        int best = -1;
        qint64 bestOverlap = 0;
        for (int i = 0; i < screens.size(); ++i) {
            const QRect overlap = screens[i].intersected(r);
            const qint64 a = qint64(overlap.width()) * overlap.height();
            if (a > bestOverlap) {
                bestOverlap = a;
                best = i;
            }
        }
        if (best < 0) return std::nullopt;
        return visibleAreas.value(best, screens[best]);
    };
    if (stored && !stored->isEmpty()) {
        if (const auto area = areaOf(*stored))
            return ScreenSpace::keepInside(QRect(stored->topLeft(), size), *area);
    }
    QRect area = visibleAreas.value(0);
    if (!anchor.isEmpty()) area = areaOf(anchor).value_or(area);
    if (area.isEmpty()) return QRect(QPoint(0, 0), size);
    QRect frame(QPoint(0, 0), size);
    if (anchor.isEmpty()) {
        // Where trays usually are: the top right corner of the screen.
        frame.moveTopRight(QPoint(area.right() - edgeMargin, area.top() + edgeMargin));
    } else if (kind == RecentAnchor::TrayItem) {
        // Dropped from the tray icon, clear of the bar it sits in, as its menu would be.
        frame.moveRight(anchor.right());
        if (anchor.center().y() < area.center().y())
            frame.moveTop(anchor.bottom() + 1 + edgeMargin / 2);
        else
            frame.moveBottom(anchor.top() - 1 - edgeMargin / 2);
        const QRect inside = ScreenSpace::keepInside(frame, area);
        // Pulled in sideways only; shortened rather than pushed back over the bar.
        QRect out(inside.left(), frame.top(), inside.width(), frame.height());
        if (out.bottom() > area.bottom()) out.setBottom(area.bottom());
        if (out.top() < area.top()) out.setTop(area.top());
        return out;
    } else {
        // Beside the buttons, on the side with room, bottoms level.
        if (anchor.left() - edgeMargin - size.width() >= area.left())
            frame.moveRight(anchor.left() - edgeMargin - 1);
        else
            frame.moveLeft(anchor.right() + edgeMargin + 1);
        frame.moveBottom(anchor.bottom());
    }
    return ScreenSpace::keepInside(frame, area);
}

QString rectString(const QRect& r) {
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

std::optional<QRect> rectFromString(const QString& s) {
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*\{\s*\{\s*(-?\d+(?:\.\d+)?)\s*,\s*(-?\d+(?:\.\d+)?)\s*\}\s*,\s*\{\s*(\d+(?:\.\d+)?)\s*,)"
        R"(\s*(\d+(?:\.\d+)?)\s*\}\s*\}\s*$)"));
    const QRegularExpressionMatch m = form.match(s);
    if (!m.hasMatch()) return std::nullopt;
    const QRect r(qRound(m.captured(1).toDouble()), qRound(m.captured(2).toDouble()),
                  qRound(m.captured(3).toDouble()), qRound(m.captured(4).toDouble()));
    if (r.isEmpty()) return std::nullopt;
    return r;
}

} // namespace ombrel
