#pragma once
// The settings of the welcome window, the release notes and the help page.

#include "platform/Defaults.h"

namespace ombrel::OnboardingKeys {

// The welcome window has been finished once ("Start Using It").
inline constexpr BoolKey welcomeShown{"welcomeShown", false};
// The program version whose release notes were last offered; absent before the first launch.
inline constexpr StringKey whatsNewSeenVersion{"whatsNewSeenVersion", ""};
// The help window has been opened once.
inline constexpr BoolKey hasSeenHelp{"hasSeenHelp", false};

} // namespace ombrel::OnboardingKeys
