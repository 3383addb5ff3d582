#include "Defaults.h"

namespace ombrel {

namespace {
std::unique_ptr<QSettings>& fileStore() {
    static std::unique_ptr<QSettings> store;
    return store;
}
} // namespace

QSettings& Defaults::store() {
    if (auto& file = fileStore()) return *file;
    static QSettings native;
    return native;
}

void Defaults::useFile(const QString& path) {
    if (path.isEmpty())
        fileStore().reset();
    else
        fileStore() = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

bool Defaults::get(const BoolKey& key) {
    const QVariant v = store().value(key.name);
    return v.isValid() ? v.toBool() : key.absent;
}
void Defaults::set(const BoolKey& key, bool value) {
    store().setValue(key.name, value);
}

QString Defaults::get(const StringKey& key) {
    const QVariant v = store().value(key.name);
    return v.isValid() ? v.toString() : QString::fromUtf8(key.absent);
}
void Defaults::set(const StringKey& key, const QString& value) {
    store().setValue(key.name, value);
}

double Defaults::get(const NumberKey& key) {
    bool ok = false;
    const double v = store().value(key.name).toDouble(&ok);
    return ok ? v : key.absent;
}
void Defaults::set(const NumberKey& key, double value) {
    store().setValue(key.name, value);
}

bool Defaults::has(const char* name) {
    return store().contains(name);
}
void Defaults::remove(const char* name) {
    store().remove(name);
}

} // namespace ombrel
