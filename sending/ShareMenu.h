#pragma once
// The share and save menu for one file or a set of files (pictures or recordings): send
// them by e-mail or Bluetooth, open them in another application, make a steps document of
// the pictures, or save copies to a cloud drive or any folder. The editor, the Recent panel
// and the video editor pop it up under their Share buttons. GUI thread only.

#include "CloudDrive.h"

#include <QPoint>
#include <QStringList>
#include <optional>

class QMenu;
class QWidget;

namespace ombrel {

class ShareMenu {
  public:
    // Where "Get Google Drive…" and "Get Microsoft OneDrive…" lead on Linux: the desktop's
    // online accounts, which mount a Google Drive, and the OneDrive client for Linux.
    static inline const QString googleDrivePage =
        QStringLiteral("https://help.gnome.org/users/gnome-help/stable/accounts-add.html");
    static inline const QString oneDrivePage = QStringLiteral("https://github.com/abraunegg/onedrive");
    // How far below its button the menu pops up.
    static constexpr int belowButton = 4;

    // The menu for `files`. `anchor` is the widget it pops up from: "More…" shows its
    // choice of applications below it while its window is visible, else at the pointer.
    // `drives` are found now when not given. The caller owns the menu.
    static QMenu* make(const QStringList& files, QWidget* anchor = nullptr,
                       const std::optional<QList<CloudDrive>>& drives = std::nullopt);

    // Makes the menu and pops it up `belowButton` points below `button`, or at `global`
    // (screen coordinates). The menu deletes itself once it has closed.
    static QMenu* popUpBelow(const QStringList& files, QWidget* button);
    static QMenu* popUpAt(const QStringList& files, QPoint global, QWidget* anchor = nullptr);
    // The menu (or the choice of applications) popped up last, while it exists.
    static QMenu* current();
    // The files a menu made here shares.
    static QStringList filesOf(const QMenu* menu);

    // Copies the files to the drive in the background, with a toast before and after.
    static void save(const QStringList& files, const CloudDrive& drive);
    // Asks for a folder and saves the files to it as to a drive named after the folder.
    static void chooseFolder(const QStringList& files);
    // The applications that open the files, as a menu popped up below `anchor` when its
    // window is visible, else at the pointer. Choosing one opens the files in it.
    static QMenu* showMore(const QStringList& files, QWidget* anchor);
};

} // namespace ombrel
