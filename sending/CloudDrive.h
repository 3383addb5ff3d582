#pragma once
// The cloud-drive folders present on this computer, and copying files into them.
//
// Sync clients on Linux keep their folder in the home folder (Dropbox, OneDrive, Nextcloud,
// ownCloud, pCloud), and the desktop's online accounts mount each Google Drive under the
// gvfs folder of the session. Copies go into a folder "Ombrel Capture" inside the drive.

#include "platform/Outcome.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ombrel {

struct CloudDrive {
    QString name;   // as the menu shows it
    QString folder; // the drive's own folder
    friend bool operator==(const CloudDrive&, const CloudDrive&) = default;

    static inline const QString copiesFolderName = QStringLiteral("Ombrel Capture");
    // Where copies go: the drive's "Ombrel Capture" folder.
    QString copiesFolder() const;

    // The drives found in `home` and among the gvfs mounts in `mounts`, sorted by name.
    static QList<CloudDrive> all(const QString& home = defaultHome(),
                                 const QString& mounts = defaultMounts());
    static QString defaultHome();
    // $XDG_RUNTIME_DIR/gvfs, where the desktop mounts online drives; empty without a runtime folder.
    static QString defaultMounts();

    // The drive that an entry of the home folder (a folder named `entry`) is, or none.
    static std::optional<CloudDrive> fromHomeEntry(const QString& entry, const QString& folder);
    // The drive that a gvfs mount named `entry` is ("google-drive:host=…,user=…"), or none.
    static std::optional<CloudDrive> fromMount(const QString& entry, const QString& folder);

    // Copies every file into `copiesFolder()` (made when missing), each whole, under its
    // own name or the first free "name 2.ext", "name 3.ext"… Answers the copies in order,
    // or stops at the first failure and answers why.
    Outcome<QStringList> save(const QStringList& files) const;

    // The path in `folder` for a file named `fileName`: itself when free, else with " n"
    // before the extension for the first free n from 2.
    static QString freeName(const QString& folder, const QString& fileName);
};

} // namespace ombrel
