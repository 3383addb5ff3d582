#pragma once
// The user's Trash, with put-back.

#include <QString>
#include <optional>

namespace ombrel {

class Trash {
  public:
    virtual ~Trash() = default;

    // Moves the file at `path` to the Trash. Answers where it now lies, or none when
    // it could not be moved (the file is then untouched).
    virtual std::optional<QString> moveToTrash(const QString& path) = 0;

    // Moves a trashed file back to `originalPath` and forgets its trash record.
    // False when the trashed file is gone, something already stands at the original
    // place, or the move fails. Creates the original folder when missing.
    virtual bool putBack(const QString& trashedPath, const QString& originalPath) = 0;
};

} // namespace ombrel
