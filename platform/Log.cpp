#include "Log.h"

namespace ombrel {

// Warnings and above are on by default; debug output is opt-in.
Q_LOGGING_CATEGORY(logPlatform, "ombrel.platform", QtWarningMsg)
Q_LOGGING_CATEGORY(logUi, "ombrel.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(logLibrary, "ombrel.library", QtWarningMsg)
Q_LOGGING_CATEGORY(logMarkup, "ombrel.markup", QtWarningMsg)
Q_LOGGING_CATEGORY(logUnderstanding, "ombrel.understanding", QtWarningMsg)
Q_LOGGING_CATEGORY(logSending, "ombrel.sending", QtWarningMsg)
Q_LOGGING_CATEGORY(logEditor, "ombrel.editor", QtWarningMsg)
Q_LOGGING_CATEGORY(logLongPage, "ombrel.longpage", QtWarningMsg)
Q_LOGGING_CATEGORY(logRecording, "ombrel.recording", QtWarningMsg)
Q_LOGGING_CATEGORY(logVideo, "ombrel.video", QtWarningMsg)
Q_LOGGING_CATEGORY(logUpload, "ombrel.upload", QtWarningMsg)
Q_LOGGING_CATEGORY(logUpdates, "ombrel.updates", QtWarningMsg)
Q_LOGGING_CATEGORY(logOnboarding, "ombrel.onboarding", QtWarningMsg)
Q_LOGGING_CATEGORY(logApp, "ombrel.app", QtWarningMsg)

} // namespace ombrel
