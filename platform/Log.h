#pragma once
// One logging category per subsystem. Failures the user does not see (a sidecar that
// could not be read, a thumbnail that failed, a temporary file left behind) are logged
// here, so a problem on a user's machine leaves a trace; enable them with
// QT_LOGGING_RULES="ombrel.*=true".

#include <QLoggingCategory>

namespace ombrel {

Q_DECLARE_LOGGING_CATEGORY(logPlatform)
Q_DECLARE_LOGGING_CATEGORY(logUi)
Q_DECLARE_LOGGING_CATEGORY(logLibrary)
Q_DECLARE_LOGGING_CATEGORY(logMarkup)
Q_DECLARE_LOGGING_CATEGORY(logUnderstanding)
Q_DECLARE_LOGGING_CATEGORY(logSending)
Q_DECLARE_LOGGING_CATEGORY(logEditor)
Q_DECLARE_LOGGING_CATEGORY(logLongPage)
Q_DECLARE_LOGGING_CATEGORY(logRecording)
Q_DECLARE_LOGGING_CATEGORY(logVideo)
Q_DECLARE_LOGGING_CATEGORY(logUpload)
Q_DECLARE_LOGGING_CATEGORY(logUpdates)
Q_DECLARE_LOGGING_CATEGORY(logOnboarding)
Q_DECLARE_LOGGING_CATEGORY(logApp)

} // namespace ombrel
