#pragma once
// Opening a page of the desktop's own settings program, whichever desktop this is.

namespace ombrel {

enum class DesktopSettingsPage {
    Accessibility, // where the desktop's accessibility (screen reader, assistive tools) is switched on
    Sound,         // where the microphone is chosen and switched on
    Privacy,       // where the desktop grants screen, camera and microphone access
};

// Starts the settings program of the running desktop on `page`, or a general one that
// shows it (the PulseAudio volume control for sound); false when none is installed.
bool openDesktopSettings(DesktopSettingsPage page);

} // namespace ombrel
