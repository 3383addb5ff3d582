#include "AtspiTree.h"
#include "AtspiSupport.h"

namespace ombrel {

namespace {

using namespace atspi;

// The object replacement character stands for a child element inside a web page's text.
constexpr char16_t embeddedObject = 0xFFFC;

class AtspiNode : public AccessibleNode {
  public:
    explicit AtspiNode(Element element) : m_element(std::move(element)) {}

    QString role() override {
        std::lock_guard guard(lock());
        GError* error = nullptr;
        const AtspiRole role = atspi_accessible_get_role(m_element.get(), &error);
        if (!ok(error)) return {};
        return take(atspi_role_get_name(role));
    }

    bool isEditable() override {
        std::lock_guard guard(lock());
        return hasState(m_element.get(), ATSPI_STATE_EDITABLE);
    }

    bool isActive() override {
        std::lock_guard guard(lock());
        return hasState(m_element.get(), ATSPI_STATE_ACTIVE);
    }

    bool isVisible() override {
        std::lock_guard guard(lock());
        return hasState(m_element.get(), ATSPI_STATE_VISIBLE);
    }

    bool isShowing() override {
        std::lock_guard guard(lock());
        return hasState(m_element.get(), ATSPI_STATE_SHOWING);
    }

    std::optional<QRectF> frameGlobal() override {
        std::lock_guard guard(lock());
        AtspiComponent* component = atspi_accessible_get_component_iface(m_element.get());
        if (!component) return std::nullopt;
        GError* error = nullptr;
        AtspiRect* rect = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, &error);
        g_object_unref(component);
        if (!ok(error) || !rect) return std::nullopt;
        const QRectF frame(rect->x, rect->y, rect->width, rect->height);
        g_free(rect);
        // Toolkits answer -1 (or a negative size) for an element without a place.
        if (frame.width() < 0 || frame.height() < 0) return std::nullopt;
        return frame;
    }

    QString text(NodeText which) override {
        std::lock_guard guard(lock());
        GError* error = nullptr;
        switch (which) {
        case NodeText::Name: {
            QString name = take(atspi_accessible_get_name(m_element.get(), &error));
            return ok(error) ? name : QString();
        }
        case NodeText::Description: {
            QString description = take(atspi_accessible_get_description(m_element.get(), &error));
            return ok(error) ? description : QString();
        }
        case NodeText::Placeholder:
            return attributesOf(m_element.get()).value(QStringLiteral("placeholder-text"));
        case NodeText::Help:
            return attributesOf(m_element.get()).value(QStringLiteral("tooltip"));
        case NodeText::Identifier: {
            QString id = take(atspi_accessible_get_accessible_id(m_element.get(), &error));
            if (!ok(error) || id.isEmpty()) id = attributesOf(m_element.get()).value(QStringLiteral("id"));
            return id;
        }
        case NodeText::Value:
            return shownText();
        }
        return {};
    }

    QString documentAddress() override {
        std::lock_guard guard(lock());
        AtspiDocument* document = atspi_accessible_get_document_iface(m_element.get());
        if (!document) return {};
        // Firefox names the document's address "DocURL", Chromium "URI".
        QString address;
        for (const char* name : {"DocURL", "URI"}) {
            GError* error = nullptr;
            address =
                take(atspi_document_get_document_attribute_value(document, const_cast<gchar*>(name), &error));
            if (!ok(error)) address.clear();
            if (!address.isEmpty()) break;
        }
        g_object_unref(document);
        return address;
    }

    int childCount() override {
        std::lock_guard guard(lock());
        GError* error = nullptr;
        const int count = atspi_accessible_get_child_count(m_element.get(), &error);
        return ok(error) ? std::max(count, 0) : 0;
    }

    QList<AccessibleNodePtr> children() override {
        std::lock_guard guard(lock());
        QList<AccessibleNodePtr> out;
        GError* error = nullptr;
        const int count = atspi_accessible_get_child_count(m_element.get(), &error);
        if (!ok(error)) return out;
        for (int i = 0; i < count; ++i) {
            Element child(atspi_accessible_get_child_at_index(m_element.get(), i, &error));
            if (!ok(error)) break; // an application that stops answering gives what was read so far
            if (child) out.append(std::make_shared<AtspiNode>(std::move(child)));
        }
        return out;
    }

    std::optional<QList<AccessibleNodePtr>> descendants(const QStringList& roles, int max) override {
        std::lock_guard guard(lock());
        AtspiCollection* collection = atspi_accessible_get_collection_iface(m_element.get());
        if (!collection) return std::nullopt;
        GArray* wanted = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
        for (const QString& name : roles)
            if (const auto role = roleNamed(name)) g_array_append_val(wanted, *role);
        std::unique_ptr<AtspiMatchRule, Unref> rule(atspi_match_rule_new(
            nullptr, ATSPI_Collection_MATCH_NONE, nullptr, ATSPI_Collection_MATCH_NONE, wanted,
            ATSPI_Collection_MATCH_ANY, nullptr, ATSPI_Collection_MATCH_NONE, FALSE));
        g_array_free(wanted, TRUE);
        GError* error = nullptr;
        GArray* matches = atspi_collection_get_matches(
            collection, rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, max, TRUE, &error);
        g_object_unref(collection);
        if (!ok(error) || !matches) return std::nullopt;
        QList<AccessibleNodePtr> out;
        for (guint i = 0; i < matches->len; ++i)
            if (AtspiAccessible* match = g_array_index(matches, AtspiAccessible*, i))
                out.append(std::make_shared<AtspiNode>(Element(match)));
        g_array_free(matches, TRUE);
        return out;
    }

  private:
    // The role with that name on the bus.
    static std::optional<AtspiRole> roleNamed(const QString& name) {
        for (int r = 0; r < ATSPI_ROLE_LAST_DEFINED; ++r)
            if (take(atspi_role_get_name(AtspiRole(r))) == name) return AtspiRole(r);
        return std::nullopt;
    }

    // The text the element shows, through its text interface, without the placeholders
    // for embedded children.
    QString shownText() {
        AtspiText* textIface = atspi_accessible_get_text_iface(m_element.get());
        if (!textIface) return {};
        GError* error = nullptr;
        const int count = atspi_text_get_character_count(textIface, &error);
        QString out;
        if (ok(error) && count > 0) {
            out = take(
                atspi_text_get_text(textIface, 0, std::min(count, AtspiTree::maxValueCharacters), &error));
            if (!ok(error)) out.clear();
        }
        g_object_unref(textIface);
        out.remove(QChar(embeddedObject));
        return out;
    }

    Element m_element;
};

} // namespace

AccessibleNodePtr AtspiTree::application(qint64 pid, int timeoutMs) {
    std::lock_guard guard(lock());
    if (pid <= 0 || !initialised()) return nullptr;
    atspi_set_timeout(timeoutMs, timeoutMs);
    Element app = applicationOf(pid);
    if (!app) return nullptr;
    return std::make_shared<AtspiNode>(std::move(app));
}

} // namespace ombrel
