#pragma once
// Constants of the program and its maker.

#include <QString>

namespace ombrel::AppConfig {

inline const QString website = QStringLiteral("https://ombrel.app");
inline const QString updatesFeed = website + QStringLiteral("/updates.json");
inline const QString appleTeamID = QStringLiteral("7QK4M2X9TD");
inline const QString supportEmail = QStringLiteral("support@ombrel.app");
// The identifier of the real build. Start-up work that touches the user's library, login
// items and the network runs only under it; tests run under another.
inline const QString releaseBundleId = QStringLiteral("com.ombrel.capture");
inline const QString promptsBundleId = QStringLiteral("com.ombrel.prompts");
inline const QString designerCredit = QStringLiteral("Designed by Ombrel Studio");

} // namespace ombrel::AppConfig
