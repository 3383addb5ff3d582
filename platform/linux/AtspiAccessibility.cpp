#include "AtspiAccessibility.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <deque>
#include <memory>

#include "AtspiSupport.h"
#include "DesktopSettings.h"
#include "platform/Log.h"

namespace ombrel {

namespace {

using namespace atspi;

enum class Search { Found, NotFound, Failed };

// Asks the window to find its focused element itself (one request), when it can.
Search searchByCollection(AtspiAccessible* window, Element& found) {
    std::lock_guard guard(atspi::lock());
    AtspiCollection* collection = atspi_accessible_get_collection_iface(window);
    if (!collection) return Search::Failed;
    GArray* wanted = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
    const AtspiStateType focused = ATSPI_STATE_FOCUSED;
    g_array_append_val(wanted, focused);
    StateSet states(atspi_state_set_new(wanted));
    g_array_free(wanted, TRUE);
    std::unique_ptr<AtspiMatchRule, Unref> rule(atspi_match_rule_new(
        states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
        ATSPI_Collection_MATCH_NONE, nullptr, ATSPI_Collection_MATCH_NONE, FALSE));
    GError* error = nullptr;
    GArray* matches = atspi_collection_get_matches(collection, rule.get(),
                                                   ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
    g_object_unref(collection);
    if (!ok(error) || !matches) return Search::Failed;
    Search result = Search::NotFound;
    for (guint i = 0; i < matches->len; ++i) {
        AtspiAccessible* match = g_array_index(matches, AtspiAccessible*, i);
        if (result == Search::NotFound && match) {
            found.reset(match);
            result = Search::Found;
        } else if (match) {
            g_object_unref(match);
        }
    }
    g_array_free(matches, TRUE);
    return result;
}

// Walks the window's elements breadth first for the focused one, skipping hidden subtrees.
Search searchByWalking(AtspiAccessible* window, Element& found) {
    std::deque<Element> queue;
    queue.push_back(Element(static_cast<AtspiAccessible*>(g_object_ref(window))));
    int walked = 0;
    GError* error = nullptr;
    while (!queue.empty() && walked < AtspiAccessibility::maxElementsWalked) {
        // One element at a time, so element readings of screen understanding go on between.
        std::lock_guard guard(atspi::lock());
        Element element = std::move(queue.front());
        queue.pop_front();
        ++walked;
        StateSet set(atspi_accessible_get_state_set(element.get()));
        if (!set) continue;
        if (atspi_state_set_contains(set.get(), ATSPI_STATE_FOCUSED)) {
            found = std::move(element);
            return Search::Found;
        }
        if (walked > 1 && !atspi_state_set_contains(set.get(), ATSPI_STATE_SHOWING)) continue;
        const int count = atspi_accessible_get_child_count(element.get(), &error);
        if (!ok(error)) return Search::Failed;
        for (int i = 0; i < count; ++i) {
            Element child(atspi_accessible_get_child_at_index(element.get(), i, &error));
            if (!ok(error)) return Search::Failed;
            if (child) queue.push_back(std::move(child));
        }
    }
    return Search::NotFound;
}

QString roleOf(AtspiAccessible* element, AtspiRole role) {
    switch (role) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
        return hasState(element, ATSPI_STATE_MULTI_LINE) ? QStringLiteral("AXTextArea")
                                                         : QStringLiteral("AXTextField");
    case ATSPI_ROLE_TEXT:
        // A text role that cannot be edited is a label.
        if (!hasState(element, ATSPI_STATE_EDITABLE)) break;
        return hasState(element, ATSPI_STATE_MULTI_LINE) ? QStringLiteral("AXTextArea")
                                                         : QStringLiteral("AXTextField");
    case ATSPI_ROLE_COMBO_BOX:
        return QStringLiteral("AXComboBox");
    default:
        break;
    }
    return take(atspi_role_get_name(role));
}

FocusedElement describe(AtspiAccessible* element) {
    std::lock_guard guard(atspi::lock());
    FocusedElement out;
    GError* error = nullptr;
    const AtspiRole role = atspi_accessible_get_role(element, &error);
    ok(error);
    out.role = roleOf(element, role);
    const QHash<QString, QString> attributes = attributesOf(element);
    if (role == ATSPI_ROLE_PASSWORD_TEXT)
        out.subrole = QStringLiteral("AXSecureTextField");
    else if (attributes.value(QStringLiteral("xml-roles"))
                 .split(QLatin1Char(' '))
                 .contains(QStringLiteral("searchbox")) ||
             attributes.value(QStringLiteral("text-input-type")) == QLatin1String("search"))
        out.subrole = QStringLiteral("AXSearchField");

    // Description, title, placeholder, help, identifier. The bus has no separate help text:
    // tool tips arrive as the description.
    QString identifier = take(atspi_accessible_get_accessible_id(element, &error));
    ok(error);
    if (identifier.isEmpty()) identifier = attributes.value(QStringLiteral("id"));
    QString description = take(atspi_accessible_get_description(element, &error));
    ok(error);
    QString title = take(atspi_accessible_get_name(element, &error));
    ok(error);
    for (const QString& word :
         {description, title, attributes.value(QStringLiteral("placeholder-text")), identifier})
        if (!word.isEmpty()) out.words.append(word);

    Element current(static_cast<AtspiAccessible*>(g_object_ref(element)));
    for (int i = 0; current && i < AtspiAccessibility::maxAncestors; ++i) {
        if (hasState(current.get(), ATSPI_STATE_EDITABLE)) {
            out.hasEditableAncestor = true;
            break;
        }
        const AtspiRole r = atspi_accessible_get_role(current.get(), &error);
        if (!ok(error) || r == ATSPI_ROLE_FRAME || r == ATSPI_ROLE_APPLICATION || r == ATSPI_ROLE_WINDOW)
            break;
        current.reset(atspi_accessible_get_parent(current.get(), &error));
        if (!ok(error)) break;
    }
    return out;
}

bool setAccessibilityEnabled() {
    QDBusMessage set = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
        << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(set, QDBus::Block, 1000);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    qCInfo(logPlatform) << "Could not switch accessibility on:" << reply.errorMessage();
    return false;
}

} // namespace

FocusReading AtspiAccessibility::focusedElement(qint64 pid, int timeoutMs) {
    using R = FocusReading::Result;
    std::unique_lock guard(atspi::lock());
    if (pid <= 0 || !initialised()) return {R::Failed, {}};
    atspi_set_timeout(timeoutMs, timeoutMs);
    Element app = applicationOf(pid);
    if (!app) return {R::Failed, {}};
    GError* error = nullptr;
    const int count = atspi_accessible_get_child_count(app.get(), &error);
    if (!ok(error)) return {R::Failed, {}};
    if (count == 0) return {R::Unsupported, {}};
    // The active window holds the focus; look there first, then in the others.
    std::deque<Element> windows;
    for (int i = 0; i < count; ++i) {
        Element window(atspi_accessible_get_child_at_index(app.get(), i, &error));
        if (!ok(error)) return {R::Failed, {}};
        if (!window) continue;
        if (hasState(window.get(), ATSPI_STATE_ACTIVE))
            windows.push_front(std::move(window));
        else
            windows.push_back(std::move(window));
    }
    guard.unlock(); // the searches take it per step
    bool failed = false;
    for (Element& window : windows) {
        Element found;
        Search search = searchByCollection(window.get(), found);
        if (search == Search::Failed) search = searchByWalking(window.get(), found);
        if (search == Search::Found) return {R::Found, describe(found.get())};
        failed = failed || search == Search::Failed;
    }
    return {failed ? R::Failed : R::NoValue, {}};
}

void AtspiAccessibility::switchOnReading(qint64, bool) {
    // Toolkits and browsers (Chromium among them) expose their elements once the desktop's
    // accessibility is on; it is one switch for the whole session.
    setAccessibilityEnabled();
}

bool AtspiAccessibility::requestTrust() {
    return setAccessibilityEnabled();
}

bool AtspiAccessibility::openSettings() {
    return openDesktopSettings(DesktopSettingsPage::Accessibility);
}

} // namespace ombrel
