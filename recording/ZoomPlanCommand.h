#pragma once
// `ombrel-capture zoom-plan EVENTS.json [--video FILE] --output PLAN.json`: plans the zoom
// camera of a recording from its pointer events, optionally steered by the video's content.

#include "recording/ZoomPlan.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

namespace ombrel {

// The events of one recording as the command reads them, in normalised coordinates:
// {"duration": s, "clicks": [{"time", "x", "y"}…], "pointer": [{"time", "x", "y"}…], "scrolls": [t…]}.
// Every key may be left out; a missing or null duration means it is not known.
struct ZoomEvents {
    std::optional<double> durationSeconds;
    std::vector<ZoomPlan::Click> clicks;
    std::vector<ZoomPlan::PointerSample> pointer;
    std::vector<double> scrollTimes;
};

// The same format written out, so that a recording's events can be planned again later.
QJsonObject zoomEventsToJson(const ZoomEvents& events);

// The longest session the command plans (12 hours, about 1.3 million frames).
inline constexpr double zoomPlanLongestSessionSeconds = 12 * 3600.0;

// The events, or a message in plain words saying what is wrong with the text.
std::variant<ZoomEvents, QString> parseZoomEvents(const QByteArray& json);

// {"step": s, "frames": [[scale, x, y]…], "clicks": [{"time", "x", "y"}…]}
QJsonObject zoomPlanToJson(const ZoomPlan& plan);

int zoomPlanCommand(const QStringList& args);

} // namespace ombrel
