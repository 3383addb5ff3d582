#pragma once
// Files with the user's pictures, recordings and uploads while they are in the making.
//
// They never go into the shared /tmp: every folder made here is 0700 and every file 0600
// from the moment it exists, so no other user of the machine can read them.
//
// Small, short-lived files (a sound part for speech, a copy on its way into the library)
// go under $XDG_RUNTIME_DIR; large ones (a recording being written, a phone upload, a
// render) go under the user's cache folder, which is on the home disk like the library,
// so the final move into the library is a rename.

#include "Outcome.h"

#include <QString>

namespace ombrel::PrivateFiles {

enum class Size { Small, Large };

// The program's private folder for files in the making, created 0700 when missing.
// Small: $XDG_RUNTIME_DIR/ombrel-capture (else the Large folder); Large:
// <cache>/ombrel-capture/work. A folder that exists with wider rights is narrowed.
QString folder(Size size = Size::Small);

// A new, empty, uniquely named 0700 folder inside `folder(size)`, named prefix + random.
Outcome<QString> makeFolder(const QString& prefix, Size size = Size::Small);

// Creates a new, empty file exclusively, 0600, in `inFolder` (default: `folder(size)`),
// named prefix + random + suffix, and answers its path. Nobody else can have opened it.
Outcome<QString> makeFile(const QString& prefix, const QString& suffix, Size size = Size::Small,
                          const QString& inFolder = {});

// Makes an existing file 0600. Answers false when the rights could not be set.
bool restrict(const QString& path);

// Moves `from` to `to`, replacing `to`. Within one file system this is one rename. Across
// file systems the file is copied under a hidden passing name beside `to` (same rights as
// the source), flushed to disk, renamed over `to`, and only then is the source removed:
// the name `to` only ever holds the whole file, and a crash leaves the source in place.
// Answers a sentence for the user on failure, an empty string on success.
QString moveFile(const QString& from, const QString& to);

// Copies `from` to `to` the same way (whole, by a rename at the end); the source stays.
QString copyFile(const QString& from, const QString& to);

} // namespace ombrel::PrivateFiles
