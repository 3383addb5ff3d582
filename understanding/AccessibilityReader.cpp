#include "AccessibilityReader.h"

#include "platform/Platform.h"

#include <QDeadlineTimer>
#include <QUrl>
#include <deque>

namespace ombrel::AccessibilityReader {

namespace {

using Kind = ScreenElement::Kind;

bool listedIn(const QStringList& list, const QString& id) {
    return !id.isEmpty() && list.contains(id, Qt::CaseInsensitive);
}

std::optional<QSet<QString>> builtInHosts(const QString& bundleId) {
    for (auto it = builtInBrowsers().cbegin(); it != builtInBrowsers().cend(); ++it)
        if (it.key().compare(bundleId, Qt::CaseInsensitive) == 0) return it.value();
    return std::nullopt;
}

double area(const QRectF& r) {
    return r.isValid() ? r.width() * r.height() : 0.0;
}

// The first attribute that is not blank, trimmed; empty when none is.
QString firstText(AccessibleNode& node, std::initializer_list<NodeText> order) {
    for (NodeText which : order) {
        const QString text = node.text(which).trimmed();
        if (!text.isEmpty()) return text;
    }
    return {};
}

QString titleOf(AccessibleNode& node, Kind kind) {
    switch (kind) {
    case Kind::Text:
        return firstText(node, {NodeText::Value, NodeText::Name, NodeText::Description, NodeText::Help});
    case Kind::Field: // what was typed in a field is never its name
        return firstText(node,
                         {NodeText::Name, NodeText::Description, NodeText::Placeholder, NodeText::Help});
    default:
        return firstText(node, {NodeText::Name, NodeText::Description, NodeText::Help});
    }
}

struct Walk {
    const Source& source;
    QSize imageSize;
    Limits limits;
    QDeadlineTimer deadline;
    double sx = 1, sy = 1;
    int nodes = 0;
    QList<ScreenElement> found;

    void visit(AccessibleNode& node, int depth) {
        if (depth >= limits.maxDepth || nodes >= limits.maxNodes || deadline.hasExpired()) return;
        ++nodes;
        const QString role = node.role();
        // Only the roles whose kind depends on it cost the extra questions.
        const bool needsEditable = role == QLatin1String("combo box");
        const bool needsLeaf = kind(role, false, false) != kind(role, false, true);
        const std::optional<Kind> k =
            kind(role, needsEditable && node.isEditable(), !needsLeaf || node.childCount() == 0);
        if (k) consider(node, *k);
        for (const AccessibleNodePtr& child : node.children()) {
            if (nodes >= limits.maxNodes || deadline.hasExpired()) break;
            if (child) visit(*child, depth + 1);
        }
    }

    void consider(AccessibleNode& node, Kind k) {
        const std::optional<QRectF> frame = node.frameGlobal();
        if (!frame) return;
        const QRectF clipped = frame->intersected(source.screenFrame);
        if (clipped.width() < minSidePoints || clipped.height() < minSidePoints) return;
        const QRectF rect((clipped.left() - source.screenFrame.left()) * sx,
                          (clipped.top() - source.screenFrame.top()) * sy, clipped.width() * sx,
                          clipped.height() * sy);
        if (area(rect) > maxAreaShare * imageSize.width() * imageSize.height())
            return; // a whole-window container
        if (k == Kind::Section && rect.height() <= maxSectionHeight) return;
        const QString title = titleOf(node, k);
        if (k == Kind::Text && title.isEmpty()) return;
        found.append({k, title, rect});
    }
};

// An on-screen window of another program, front-most first.
struct ScreenWindow {
    qint64 pid = 0;
    QString bundleId;
    QRectF frame;
};

QList<ScreenWindow> windowsFrontToBack() {
    QList<ScreenWindow> out;
    const qint64 own = Platform::windows().ownPid();
    const QList<WindowInfo> list = Platform::windows().windows(); // bottom to top
    for (auto it = list.crbegin(); it != list.crend(); ++it) {
        const WindowInfo& w = *it;
        if (w.layer != 0 || !w.onScreen || w.pid <= 0 || w.pid == own || w.kind == WindowKind::Desktop ||
            w.kind == WindowKind::Dock || w.frameGlobal.isEmpty())
            continue;
        if (w.frameGlobal.width() <= minBrowserWidth || w.frameGlobal.height() <= minBrowserHeight) continue;
        out.append({w.pid, w.bundleId, QRectF(w.frameGlobal)});
    }
    return out;
}

QString bundleIdOf(qint64 pid) {
    for (const WindowInfo& w : Platform::windows().windows())
        if (w.pid == pid && !w.bundleId.isEmpty()) return w.bundleId;
    return {};
}

// Documents asked of a window at most: the page and the browser's own hidden ones.
constexpr int maxDocumentsAsked = 16;

bool nearFrame(const std::optional<QRectF>& a, const QRectF& b) {
    return a && std::abs(a->left() - b.left()) < windowMatchSlack &&
           std::abs(a->top() - b.top()) < windowMatchSlack &&
           std::abs(a->width() - b.width()) < windowMatchSlack &&
           std::abs(a->height() - b.height()) < windowMatchSlack;
}

bool isTextEntry(const QString& role) {
    return role == QLatin1String("entry") || role == QLatin1String("combo box") ||
           role == QLatin1String("text");
}

QString joinedLower(AccessibleNode& node, std::initializer_list<NodeText> which) {
    QStringList parts;
    for (NodeText w : which) {
        const QString t = node.text(w);
        if (!t.isEmpty()) parts.append(t);
    }
    return parts.join(QLatin1Char(' ')).toLower();
}

bool containsAny(const QString& text, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (text.contains(QLatin1String(w))) return true;
    return false;
}

// The address of a document that is on screen now; a page in a background tab, which
// browsers keep in the tree too, does not count.
std::optional<QString> shownAddress(const AccessibleNodePtr& document) {
    if (!document || !document->isShowing()) return std::nullopt;
    return cleanAddress(document->documentAddress());
}

// Breadth first through a browser window: the page's document address, else the value of
// its address bar. A window that can search itself is first asked for its documents in one
// question, which a busy browser answers far sooner than a walk through its tree.
std::optional<QString> searchWindow(const AccessibleNodePtr& window) {
    if (const auto documents = window->descendants({QStringLiteral("document web")}, maxDocumentsAsked))
        for (const AccessibleNodePtr& document : *documents)
            if (auto address = shownAddress(document)) return address;
    std::deque<AccessibleNodePtr> queue{window};
    QDeadlineTimer deadline(addressSearchMs);
    std::optional<QString> addressBar;
    int seen = 0;
    while (!queue.empty() && seen < addressSearchNodes && !deadline.hasExpired()) {
        AccessibleNodePtr node = std::move(queue.front());
        queue.pop_front();
        ++seen;
        const QString role = node->role();
        if (role == QLatin1String("document web")) {
            if (auto address = shownAddress(node)) return address;
            continue; // the page's own elements are not searched
        }
        if (isTextEntry(role) && !addressBar) {
            const QString words = joinedLower(
                *node, {NodeText::Description, NodeText::Name, NodeText::Identifier, NodeText::Placeholder});
            if (containsAny(words, {"address", "url", "location", "search or enter", "search or type"}))
                addressBar = cleanAddress(node->text(NodeText::Value));
        }
        for (AccessibleNodePtr& child : node->children())
            if (child) queue.push_back(std::move(child));
    }
    return addressBar;
}

// The page shown in an application that shows web pages inside itself, skipping its own.
std::optional<QString> builtInAddress(const AccessibleNodePtr& window, const QSet<QString>& ownHosts) {
    std::deque<AccessibleNodePtr> queue{window};
    QDeadlineTimer deadline(addressSearchMs);
    int seen = 0;
    while (!queue.empty() && seen < builtInSearchNodes && !deadline.hasExpired()) {
        AccessibleNodePtr node = std::move(queue.front());
        queue.pop_front();
        ++seen;
        const QString role = node->role();
        if (isTextEntry(role)) {
            const QString words =
                joinedLower(*node, {NodeText::Description, NodeText::Name, NodeText::Placeholder});
            if (containsAny(words, {"page url", "address", "type a url"}))
                if (auto address = cleanAddress(node->text(NodeText::Value));
                    address && !isOwn(*address, ownHosts))
                    return address;
        } else if (role == QLatin1String("document web")) {
            if (auto address = shownAddress(node); address && !isOwn(*address, ownHosts)) return address;
        }
        for (AccessibleNodePtr& child : node->children())
            if (child) queue.push_back(std::move(child));
    }
    return std::nullopt;
}

} // namespace

const QStringList& browsers() {
    // Chromium, Google Chrome, Brave, Edge, Opera, Vivaldi and Firefox under the ids their
    // Debian and vendor packages give them.
    static const QStringList list{
        QStringLiteral("google-chrome"),
        QStringLiteral("google-chrome-beta"),
        QStringLiteral("google-chrome-unstable"),
        QStringLiteral("brave-browser"),
        QStringLiteral("microsoft-edge"),
        QStringLiteral("opera"),
        QStringLiteral("vivaldi-stable"),
        QStringLiteral("vivaldi"),
        QStringLiteral("firefox"),
        QStringLiteral("firefox-esr"),
        QStringLiteral("chromium"),
        QStringLiteral("chromium-browser"),
    };
    return list;
}

const QHash<QString, QSet<QString>>& builtInBrowsers() {
    static const QHash<QString, QSet<QString>> table{
        {QStringLiteral("claude"), {QStringLiteral("claude.ai"), QStringLiteral("anthropic.com")}},
    };
    return table;
}

bool isBrowser(const QString& bundleId) {
    return listedIn(browsers(), bundleId) || builtInHosts(bundleId).has_value();
}

std::optional<Kind> kind(const QString& role, bool editable, bool isLeaf) {
    static const QHash<QString, Kind> table = [] {
        QHash<QString, Kind> t;
        const auto put = [&t](Kind k, std::initializer_list<const char*> roles) {
            for (const char* r : roles)
                t.insert(QString::fromLatin1(r), k);
        };
        put(Kind::Button,
            {"push button", "toggle button", "check box", "radio button", "push button menu", "menu button"});
        put(Kind::Link, {"link"});
        put(Kind::Field, {"entry", "text", "password text", "spin button"});
        put(Kind::Image, {"image", "icon"});
        put(Kind::Text, {"label", "static", "heading", "paragraph"});
        put(Kind::Section, {"panel", "filler", "scroll pane", "list", "table", "tree", "tool bar",
                            "page tab list", "document web", "split pane"});
        return t;
    }();
    // A combo box is a field where one can type, otherwise a pop-up button.
    if (role == QLatin1String("combo box")) return editable ? Kind::Field : Kind::Button;
    const auto it = table.constFind(role);
    if (it == table.cend()) return std::nullopt;
    // Text is a leaf; a paragraph or heading holding links and other elements is only their container.
    if (*it == Kind::Text && !isLeaf) return std::nullopt;
    return *it;
}

QList<ScreenElement> elements(AccessibleNode& application, const Source& source, QSize imageSize,
                              const Limits& limits) {
    if (source.screenFrame.isEmpty() || imageSize.isEmpty()) return {};
    Walk walk{source, imageSize, limits, QDeadlineTimer(limits.budgetMs), 1, 1, 0, {}};
    walk.sx = imageSize.width() / source.screenFrame.width();
    walk.sy = imageSize.height() / source.screenFrame.height();
    for (const AccessibleNodePtr& window : application.children()) {
        if (walk.nodes >= limits.maxNodes || walk.deadline.hasExpired()) break;
        // Toolkits keep hidden pop-ups and bubbles as windows of their own; only the shown
        // ones are on the picture.
        if (window && window->isVisible()) walk.visit(*window, 0);
    }
    return walk.found;
}

QList<ScreenElement> elements(const Source& source, QSize imageSize) {
    if (source.processID <= 0 || !Platform::access().accessibilityTrusted()) return {};
    // Browsers and web-content applications expose their pages once asked to.
    Platform::accessibility().switchOnReading(source.processID, isBrowser(bundleIdOf(source.processID)));
    const AccessibleNodePtr app =
        Platform::accessibleTree().application(source.processID, messagingTimeoutMs);
    if (!app) return {};
    return elements(*app, source, imageSize);
}

QStringList pageAddresses(const Source& source) {
    QStringList out;
    if (!Platform::access().accessibilityTrusted()) return out;
    QList<QRectF> seen;
    for (const ScreenWindow& w : windowsFrontToBack()) {
        const bool behind =
            std::any_of(seen.cbegin(), seen.cend(), [&w](const QRectF& r) { return r.contains(w.frame); });
        const QRectF visible = w.frame.intersected(source.screenFrame);
        seen.append(w.frame);
        if (area(visible) <= addressShare * area(source.screenFrame) || behind || !isBrowser(w.bundleId))
            continue;
        if (auto address = pageAddress(w.pid, w.frame); address && !out.contains(*address))
            out.append(*address);
    }
    return out;
}

std::optional<QString> pageAddress(qint64 processID, std::optional<QRectF> windowFrame) {
    const QString bundleId = bundleIdOf(processID);
    if (!Platform::access().accessibilityTrusted() || bundleId.isEmpty() || !isBrowser(bundleId))
        return std::nullopt;
    Platform::accessibility().switchOnReading(processID, true);
    const AccessibleNodePtr app = Platform::accessibleTree().application(processID, messagingTimeoutMs);
    if (!app) return std::nullopt;
    const QList<AccessibleNodePtr> windows = app->children();
    AccessibleNodePtr active;
    for (const AccessibleNodePtr& w : windows)
        if (w && w->isActive()) {
            active = w;
            break;
        }
    const AccessibleNodePtr main = windows.isEmpty() ? nullptr : windows.first();
    AccessibleNodePtr window;
    if (!windowFrame) {
        window = active ? active : main;
    } else {
        QList<AccessibleNodePtr> candidates{active, main};
        candidates.append(windows);
        for (const AccessibleNodePtr& c : candidates)
            if (c && nearFrame(c->frameGlobal(), *windowFrame)) {
                window = c;
                break;
            }
    }
    if (!window) return std::nullopt;
    if (const auto hosts = builtInHosts(bundleId)) return builtInAddress(window, *hosts);
    if (auto address = cleanAddress(window->documentAddress())) return address;
    return searchWindow(window);
}

std::optional<qint64> browserProcess(const Source& source) {
    if (isBrowser(bundleIdOf(source.processID))) return source.processID;
    for (const ScreenWindow& w : windowsFrontToBack()) {
        if (area(w.frame.intersected(source.screenFrame)) <= browserShare * area(source.screenFrame))
            continue;
        if (isBrowser(w.bundleId)) return w.pid;
        return std::nullopt; // only the first window that covers enough is considered
    }
    return std::nullopt;
}

std::optional<QString> cleanAddress(const QString& raw) {
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.contains(QLatin1Char(' '))) return std::nullopt;
    if (text.contains(QLatin1String("://"))) {
        QUrl url(text, QUrl::StrictMode);
        if (!url.isValid()) return std::nullopt;
        const QString scheme = url.scheme().toLower();
        if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
            return std::nullopt;
        // A fragment holding a path is a single-page app's route and stays; others go.
        if (url.hasFragment() && !url.fragment().contains(QLatin1Char('/'))) url.setFragment(QString());
        return url.toString();
    }
    const QString head = text.section(QLatin1Char('/'), 0, 0);
    if ((head.contains(QLatin1Char('.')) || head.startsWith(QLatin1String("localhost:"))) &&
        !head.startsWith(QLatin1Char('.')))
        return QStringLiteral("https://") + text;
    return std::nullopt;
}

bool isOwn(const QString& address, const QSet<QString>& hosts) {
    const QString host = QUrl(address).host().toLower();
    if (host.isEmpty()) return false;
    for (const QString& h : hosts)
        if (host == h || host.endsWith(QLatin1Char('.') + h)) return true;
    return false;
}

} // namespace ombrel::AccessibilityReader
