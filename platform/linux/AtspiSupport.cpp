#include "AtspiSupport.h"

namespace ombrel::atspi {

QString take(gchar* text) {
    const QString s = QString::fromUtf8(text ? text : "");
    g_free(text);
    return s;
}

bool ok(GError*& error) {
    if (!error) return true;
    g_clear_error(&error);
    return false;
}

bool hasState(AtspiAccessible* element, AtspiStateType state) {
    StateSet set(atspi_accessible_get_state_set(element));
    return set && atspi_state_set_contains(set.get(), state);
}

QHash<QString, QString> attributesOf(AtspiAccessible* element) {
    QHash<QString, QString> out;
    GError* error = nullptr;
    GHashTable* table = atspi_accessible_get_attributes(element, &error);
    if (!ok(error) || !table) return out;
    GHashTableIter it;
    gpointer key = nullptr, value = nullptr;
    g_hash_table_iter_init(&it, table);
    while (g_hash_table_iter_next(&it, &key, &value))
        out.insert(QString::fromUtf8(static_cast<const char*>(key)),
                   QString::fromUtf8(static_cast<const char*>(value)));
    g_hash_table_unref(table);
    return out;
}

bool initialised() {
    static const bool ready = [] {
        if (atspi_init() < 0) return false; // 1 means another part of the process did it already
        // libatspi hooks its bus connection into the default GLib context, which the GUI
        // thread's event loop runs; readings made on a worker then race that loop inside
        // libdbus. Its own context, never run by the event loop, leaves the connection to the
        // blocking calls made under `lock()`, whatever thread they come from.
        atspi_set_main_context(g_main_context_new());
        return true;
    }();
    return ready;
}

Element applicationOf(qint64 pid) {
    Element desktop(atspi_get_desktop(0));
    if (!desktop) return nullptr;
    GError* error = nullptr;
    const int count = atspi_accessible_get_child_count(desktop.get(), &error);
    if (!ok(error)) return nullptr;
    for (int i = 0; i < count; ++i) {
        Element app(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
        if (!ok(error) || !app) continue;
        const guint appPid = atspi_accessible_get_process_id(app.get(), &error);
        if (ok(error) && qint64(appPid) == pid) return app;
    }
    return nullptr;
}

std::recursive_mutex& lock() {
    static std::recursive_mutex mutex;
    return mutex;
}

} // namespace ombrel::atspi
