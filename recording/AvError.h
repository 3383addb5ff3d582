#pragma once
// FFmpeg's words for one of its error codes, for messages and the log.

#include <QString>

extern "C" {
#include <libavutil/error.h>
}

namespace ombrel {

inline QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace ombrel
