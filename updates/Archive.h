#pragma once
// Update archives (zip or tar, optionally compressed), read and written with libarchive.
//
// Unpacking trusts nothing in the archive: it has not been checked yet when it is opened.
// Every name must stay inside the folder (no absolute path, no "..") and is created one
// folder at a time without following links, links may only point inside, and only files,
// folders and symbolic links are made. A bomb stops at the size limit.

#include <QString>
#include <QtGlobal>

namespace ombrel::Archive {

inline constexpr qint64 maxUnpackedBytes = qint64(1) << 30; // 1 GiB
inline constexpr int maxEntries = 100000;

// Unpacks `archivePath` into the existing folder `into`. Answers why it could not, in
// plain words for the user, or an empty string on success; on failure the folder may hold
// part of the archive and is the caller's to remove.
QString unpack(const QString& archivePath, const QString& into, qint64 limitBytes = maxUnpackedBytes);

// Packs the contents of `folder` under the top folder `topName` into `archivePath`: a zip
// when the name ends in ".zip", else a tar (".tar", ".tar.gz", ".tgz", ".tar.xz").
// Answers why it could not, or an empty string.
QString pack(const QString& folder, const QString& topName, const QString& archivePath);

} // namespace ombrel::Archive
