#pragma once
// Reading the focused element of another application through the accessibility bus, and
// asking applications to expose their elements.

#include <QString>
#include <QStringList>

namespace ombrel {

// The element that has the keyboard focus in an application, described in the words the
// sending logic uses: text areas, text fields and combo boxes carry the roles "AXTextArea",
// "AXTextField" and "AXComboBox"; every other role keeps the bus's own name for it.
struct FocusedElement {
    QString role;
    // "AXSearchField" for a search entry, "AXSecureTextField" for a password entry, else empty.
    QString subrole;
    // The element's description, title, placeholder, help and identifier: those that are
    // present and not empty, in that order.
    QStringList words;
    // The element itself or one of its ancestors can be edited (a rich-text editor in a page).
    bool hasEditableAncestor = false;
    friend bool operator==(const FocusedElement&, const FocusedElement&) = default;
};

struct FocusReading {
    enum class Result {
        Found,       // `element` describes the focused element
        NoValue,     // the application answers but nothing in it has the focus
        Unsupported, // the application does not report a focused element at all
        Failed,      // the question could not be answered (no answer in time, bus error)
    };
    Result result = Result::Failed;
    FocusedElement element;
};

class Accessibility {
  public:
    virtual ~Accessibility() = default;

    // Reads the focused element of the application with process id `pid`, waiting at most
    // `timeoutMs` for each answer. An application that is not on the accessibility bus at
    // all answers Failed.
    virtual FocusReading focusedElement(qint64 pid, int timeoutMs) = 0;

    // Asks the application `pid` to expose its elements (browsers expose their pages only
    // on request). Errors are ignored: reading may simply find less.
    virtual void switchOnReading(qint64 pid, bool isBrowser) = 0;

    // Asks the system to let this program read other applications (on Linux: switches the
    // desktop's accessibility on, starting its bus where it is not running). True when the
    // system took the request.
    virtual bool requestTrust() = 0;

    // Opens the desktop's accessibility settings; false when the desktop has no such page.
    virtual bool openSettings() = 0;
};

} // namespace ombrel
