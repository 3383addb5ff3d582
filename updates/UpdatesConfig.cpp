#include "UpdatesConfig.h"

namespace ombrel {

namespace {
UpdatesConfig& config() {
    static UpdatesConfig c;
    return c;
}
} // namespace

const UpdatesConfig& UpdatesConfig::current() {
    return config();
}

void UpdatesConfig::use(UpdatesConfig c) {
    config() = std::move(c);
}

namespace UpdatesSettings {

QString feedAddress() {
    const QString stored = Defaults::get(Keys::updatesFeed);
    return stored.isEmpty() ? UpdatesConfig::current().updatesFeed : stored;
}

QString crashReportsAddress() {
    const QString stored = Defaults::get(Keys::crashReportsAddress);
    if (!stored.isEmpty()) return stored;
    const QString site = UpdatesConfig::current().website;
    return site.isEmpty() ? QString() : site + QStringLiteral("/api/crash");
}

std::optional<QDateTime> date(const StringKey& key) {
    const QString text = Defaults::get(key);
    if (text.isEmpty()) return std::nullopt;
    const QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid()) return std::nullopt;
    return when;
}

void setDate(const StringKey& key, const QDateTime& when) {
    Defaults::set(key, when.toUTC().toString(Qt::ISODateWithMs));
}

} // namespace UpdatesSettings

} // namespace ombrel
