#pragma once
// Handing URLs and files to the desktop.

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
};

} // namespace ombrel
