// A small helper for end-to-end scripts: finds an element of a running program on the
// accessibility bus and prints where it is on the screen.
//   atspifind APP ROLE NAME      prints "X Y WIDTH HEIGHT" of the first showing element of that
//                                role (e.g. "menu item", "label", "push button") whose name is NAME,
//                                in a program whose accessible name contains APP; exits 1 when none.
//                                ROLE "*" matches any role.
//   atspifind APP --list -       prints the role and name of every element (to see what is there)
#include <atspi/atspi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Query {
    std::string role, name;
    bool list = false;
};

std::string text(gchar* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

bool showing(AtspiAccessible* a) {
    AtspiStateSet* states = atspi_accessible_get_state_set(a);
    const bool yes = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
    if (states) g_object_unref(states);
    return yes;
}

// Depth-first search; answers a new reference or null.
AtspiAccessible* find(AtspiAccessible* node, const Query& q, int depth) {
    if (depth > 40) return nullptr;
    if (q.list)
        std::printf("%*s%s: %s%s\n", depth * 2, "",
                    text(atspi_accessible_get_role_name(node, nullptr)).c_str(),
                    text(atspi_accessible_get_name(node, nullptr)).c_str(), showing(node) ? "" : " (hidden)");
    if ((q.role == "*" || text(atspi_accessible_get_role_name(node, nullptr)) == q.role) &&
        text(atspi_accessible_get_name(node, nullptr)) == q.name && showing(node)) {
        g_object_ref(node);
        return node;
    }
    const gint n = atspi_accessible_get_child_count(node, nullptr);
    for (gint i = 0; i < n && i < 5000; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
        if (!child) continue;
        AtspiAccessible* hit = find(child, q, depth + 1);
        g_object_unref(child);
        if (hit) return hit;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: atspifind APP ROLE NAME\n");
        return 2;
    }
    if (atspi_init() < 0) {
        std::fprintf(stderr, "no accessibility bus\n");
        return 2;
    }
    const Query q{argv[2], argv[3], std::string(argv[2]) == "--list"};
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const gint apps = atspi_accessible_get_child_count(desktop, nullptr);
    for (gint i = 0; i < apps; ++i) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (!app) continue;
        if (text(atspi_accessible_get_name(app, nullptr)).find(argv[1]) != std::string::npos) {
            if (AtspiAccessible* hit = find(app, q, 0)) {
                AtspiComponent* component = atspi_accessible_get_component_iface(hit);
                AtspiRect* r = component
                                   ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr)
                                   : nullptr;
                if (r) {
                    std::printf("%d %d %d %d\n", r->x, r->y, r->width, r->height);
                    g_free(r);
                    return 0;
                }
            }
        }
        g_object_unref(app);
    }
    return 1;
}
