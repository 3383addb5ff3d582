#pragma once
// An edit written as JSON, for `ombrel-capture video-render` and for scripts:
//   {"crop": [x, y, width, height],            unit coordinates, optional
//    "isMuted": false,
//    "notes": [{"time": 2, "x": 0.1, "y": 0.1, "text": "Open the menu", "duration": 3,
//               "style": {"font": "System", "size": 1, "color": "White", "background": "Ombrel"}}],
//    "captions": [{"time": 0, "duration": 2, "text": "Hello"}],
//    "captionStyle": {"look": "TV Bar", "fullWidth": true, "position": "Bottom",
//                     "text": {"font": "System", "size": 1, "color": "White", "background": "Black"}}}
// Every key may be left out (its default is taken); keys not listed are ignored.

#include "video/VideoEdit.h"

#include <QByteArray>
#include <QJsonObject>
#include <variant>

namespace ombrel {

// The edit, or a sentence saying what is wrong with the file.
std::variant<VideoEdit, QString> parseVideoEdit(const QByteArray& json);
QJsonObject videoEditJson(const VideoEdit& edit);

} // namespace ombrel
