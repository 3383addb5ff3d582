#pragma once
// `ombrel-capture zoom VIDEO EVENTS.json --output FILE`: renders a recording again through
// the zoom camera planned from its events (the format `zoom-plan` reads).

#include <QStringList>

namespace ombrel {

int zoomCommand(const QStringList& args);

} // namespace ombrel
