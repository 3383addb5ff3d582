#pragma once
// `ombrel-capture video-render VIDEO EDIT.json --output OUT.mp4`: renders a recording with
// an edit written as JSON (see VideoEditFile.h) into a new video.

#include <QStringList>

namespace ombrel {

int videoRenderCommand(const QStringList& args);

} // namespace ombrel
