#pragma once
// The installed applications' desktop entries, looked up by the identifiers windows carry.

#include <QHash>
#include <QString>

namespace ombrel {

struct DesktopEntry {
    QString id; // the file name without ".desktop", e.g. "org.gnome.TextEditor"
    QString name;
    QString icon; // a theme icon name or an absolute path
};

class DesktopEntries {
  public:
    // Reads the entries below the `applications` folders of `dataDirs` (earlier folders win).
    explicit DesktopEntries(const QStringList& dataDirs);
    // The entries of the user's XDG data folders, read once.
    static const DesktopEntries& installed();

    // The entry of the application whose window says `identifier` (a desktop-file id, a
    // GTK application id or a WM_CLASS class): by file name, by StartupWMClass, or by the
    // last part of a reversed-domain file name; case does not matter.
    const DesktopEntry* find(const QString& identifier) const;

  private:
    QHash<QString, DesktopEntry> m_byKey; // lower-case keys
};

} // namespace ombrel
