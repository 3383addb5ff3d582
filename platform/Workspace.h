#pragma once
// Handing URLs and files to the desktop.

#include <QStringList>
#include <QUrl>

namespace ombrel {

class Workspace {
  public:
    virtual ~Workspace() = default;

    // Opens a web address in the default browser, or a file in its default program.
    // False when no program could be started for it.
    virtual bool open(const QUrl& url) = 0;

    // Shows the file selected in the file manager (its folder when that is not possible).
    virtual bool reveal(const QString& path) = 0;

    // Brings the application with the desktop-file id `desktopId` to the front when it
    // runs, else starts it from its desktop entry. False when it is neither running nor
    // installed.
    virtual bool openApplication(const QString& desktopId) = 0;

    // True when the user asked the desktop for fewer animations (GNOME's
    // "enable-animations" off); false where the desktop has no such setting.
    virtual bool reducesMotion() = 0;
    // Opens a new message in the user's e-mail program, addressed to `to`, with the
    // subject and, when given, one attached file; the user sends it. False when there is
    // no e-mail program to open.
    virtual bool composeMail(const QStringList& to, const QString& subject, const QString& attachment) = 0;
};

} // namespace ombrel
