#pragma once
// What the updater and the crash reports need to know of their maker, and the settings
// they keep.
//
// The shell hands the maker's constants in at start-up (`UpdatesConfig::use`), so this
// subsystem depends on nothing above it and tests run it against their own site, team
// and keys.

#include "platform/Defaults.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace ombrel {

struct UpdatesConfig {
    QString website;          // the product web site's base address
    QString updatesFeed;      // where the update feed is, unless settings say otherwise
    QString teamId;           // the signing team an update must name; empty: updates are not installed
    QString bundleIdentifier; // the identifier an update must name
    QString supportEmail;     // where the crash e-mail offer writes to; empty: no offer

    static const UpdatesConfig& current();
    static void use(UpdatesConfig config);
};

namespace Keys {
// When the last automatic or manual update check started (ISO 8601 text).
inline constexpr StringKey lastUpdateCheck{"lastUpdateCheck", ""};
// When the last look for crash reports took place (ISO 8601 text).
inline constexpr StringKey lastCrashSeen{"lastCrashSeen", ""};
// The feed's address; empty means the maker's. A company mirror or a test points it elsewhere.
inline constexpr StringKey updatesFeed{"updatesFeed", ""};
// Where crash summaries are posted; empty means the maker's web site + "/api/crash".
inline constexpr StringKey crashReportsAddress{"crashReportsAddress", ""};
} // namespace Keys

namespace UpdatesSettings {
QString feedAddress();
QString crashReportsAddress();
// A date kept as text: none when the key is absent or does not hold a date.
std::optional<QDateTime> date(const StringKey& key);
void setDate(const StringKey& key, const QDateTime& when);
} // namespace UpdatesSettings

} // namespace ombrel
