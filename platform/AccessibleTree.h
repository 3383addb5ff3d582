#pragma once
// The element trees of other applications, read through the accessibility bus: what
// screen understanding walks to name the buttons, links and fields on a picture, and where
// it finds the address of a browser's page.

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace ombrel {

// The string attributes of an element that naming and address searches read.
enum class NodeText {
    Name,        // the element's accessible name (its title)
    Description, // its accessible description
    Placeholder, // the hint shown in an empty field ("placeholder-text")
    Help,        // its tool tip, where the toolkit reports one apart from the description
    Value,       // the text it shows (the text interface); for fields, what was typed
    Identifier,  // the toolkit's or page's id of the element
};

// One element of another application. Every call asks the application and may wait up to
// the timeout given when the application was opened; a call that gets no answer answers
// as if the attribute were absent.
class AccessibleNode {
  public:
    virtual ~AccessibleNode() = default;

    // The bus's name for its role: "push button", "entry", "document web"…
    virtual QString role() = 0;
    // It can be edited (an editable combo box or text view).
    virtual bool isEditable() = 0;
    // It belongs to the active window (only meaningful on windows).
    virtual bool isActive() = 0;
    // It is not hidden (it may still be covered by other windows): a pop-up that is closed
    // answers false.
    virtual bool isVisible() = 0;
    // It is shown on screen now: a page in a background tab answers false.
    virtual bool isShowing() = 0;
    // Its frame in global screen pixels, origin at the top left of the primary screen;
    // none when the element has no position and size.
    virtual std::optional<QRectF> frameGlobal() = 0;
    // The attribute's text, untrimmed; empty when absent.
    virtual QString text(NodeText which) = 0;
    // For a document (a web page): the address of the document ("DocURL", or "URI" as
    // Chromium calls it); else empty.
    virtual QString documentAddress() = 0;
    virtual int childCount() = 0;
    // The descendants with one of the roles, in document order, at most `max`, found by the
    // application itself in one question; none when it cannot search itself.
    virtual std::optional<QList<std::shared_ptr<AccessibleNode>>> descendants(const QStringList& roles,
                                                                              int max) = 0;
    // The children in order; an element that cannot be read is left out.
    virtual QList<std::shared_ptr<AccessibleNode>> children() = 0;
};

using AccessibleNodePtr = std::shared_ptr<AccessibleNode>;

class AccessibleTree {
  public:
    virtual ~AccessibleTree() = default;

    // The application element of process `pid` (its children are its windows), or none
    // when the process is not on the accessibility bus. Each later call on its elements
    // waits at most `timeoutMs` for an answer.
    virtual AccessibleNodePtr application(qint64 pid, int timeoutMs) = 0;
};

} // namespace ombrel
