#pragma once
// Installing an update, step by step, each failure answering the text the user sees:
//
//  1. the archive's address must be https;
//  2. it is downloaded, a block at a time, into a private working folder;
//  3. its SHA-256 must be the feed's;
//  4. it is unpacked inside the working folder (Archive.h refuses anything that leaves it);
//  5. the unpacked bundle's manifest must be signed by a key the running bundle trusts,
//     name this program, its team and the offered version, and list exactly its files;
//  6. the new bundle is swapped in for the running one by renames; its program must then
//     start and say its version, else the old bundle is swapped back.
//
// The working folder is removed in every case, and with it the old bundle after a swap.

#include "Updater.h"

#include <QString>

namespace ombrel::Installer {

struct Target {
    QString bundle;     // the folder to replace
    QString keysFolder; // the public keys the update must be signed with (the running bundle's)
    QString identifier; // the identifier the update must name
    QString team;       // the signing team the update must name
};

// The target for replacing `bundle` with the configured identifier and team.
Target targetFor(const QString& bundle);

// The whole installation. Blocks (the download waits in a local event loop): run it off
// the GUI thread. Answers the text to show, or an empty string when the new version is in
// place and has started.
QString install(const Updater::Feed& feed, const Target& target);

// Steps 4 to 6 for an archive already downloaded into `workFolder`, offered as `version`.
QString installArchive(const QString& archive, const QString& workFolder, const Target& target,
                       const QString& version);

} // namespace ombrel::Installer
