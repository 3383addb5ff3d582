#pragma once
// The capture library on disk: one folder of pictures and recordings sorted into day
// folders, plus the hidden sidecar folder ".marks". Static operations only; the one
// piece of state is the set of names handed out during this run.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

namespace ombrel {

enum class FileKind { Video, Image, Crop };

// Raised by `adopt` and `nextVersion` when the file system refuses.
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class CaptureStore {
  public:
    static constexpr int shownLimit = 30;
    static constexpr int panelLimit = 60;
    static inline const QString versionPattern = QStringLiteral("_V[0-9]+$");

    // The library folder: by default ~/Pictures/Ombrel Capture (the XDG pictures folder).
    static QString folder();
    static void setFolder(const QString& path);
    static QString defaultFolder();
    // The hidden sidecar folder of the library.
    static QString marksFolder();

    static QString rawValue(FileKind kind);
    static QString extension(FileKind kind);

    static QString dateFolderName(const QDateTime& date = QDateTime::currentDateTime());
    static QString baseName(FileKind kind, const QDateTime& date = QDateTime::currentDateTime());

    // New names. These reserve the name for the rest of the run and create today's folder;
    // they throw StoreError when the folder cannot be made.
    static QString newFileURL(bool cropped = false);
    static QString newRecordingURL();
    // A steps document: the picture base name of now with "Steps_" for "Image_", as a PDF.
    static QString newStepsURL();
    static QString nextVersion(const QString& base, const QString& ext);
    static QString nextVersionAfter(const QString& path);

    static bool isOurs(const QString& path);
    static bool isVideo(const QString& path);

    // Writes `data` whole and atomically, creating folders; announces the change.
    static bool save(const QByteArray& data, const QString& path);
    // Moves a file from elsewhere (or copies it, keeping the original) into today's folder
    // under its own name, adding " 2", " 3"… before the extension when taken. The name in
    // the library only ever holds the whole file. Throws StoreError.
    static QString adopt(const QString& path, bool keepOriginal = false);

    static QStringList all();
    static QStringList recent();
    static QDateTime modified(const QString& path);
    static QStringList older(int days, const QDateTime& now = QDateTime::currentDateTime());
    static QStringList search(const QString& query, const std::optional<QStringList>& list = std::nullopt,
                              const QDateTime& now = QDateTime::currentDateTime());

    // The searchable text of one file (lower-cased), as `search` matches against.
    static QString searchableText(const QString& path, const QDateTime& now);

    // The words the user wrote on a picture. The mark-up layer installs the reader of
    // sidecar files here; without one, pictures have no words.
    using WordsReader = std::function<QString(const QString& path)>;
    static void setWordsReader(WordsReader reader);

    static std::optional<QString> moveToTrash(const QString& path);
    static bool restore(const QString& trashed, const QString& original);
    static void trash(const QStringList& paths);
    static void clearAll();

    static int sortIntoDateFolders();
    static void noteChange();

    // Forgets every reserved name (tests only).
    static void forgetReservedNames();

  private:
    static QString nextVersionIn(const QString& base, const QString& ext, const QString& folder);
};

// The heading of a day in the Recent panel: "Today", "Yesterday", a weekday within the
// last week, else "EEE d MMM" (with the year when not the current one).
QString dayTitle(const QDateTime& date, const QDateTime& now = QDateTime::currentDateTime());

// The raw file of a recording while it is written, before it moves into the library.
class RecordingFiles {
  public:
    static inline const QString prefix = QStringLiteral("ombrel-recording-");

    // Creates a new, empty, private (0600) file for a recording in `folder`, by default the
    // program's private work folder on the home disk (0700). Empty when it could not be made.
    static QString newTemporaryFile(const QString& folder = QString());

    // Whoever writes a recording holds its lease until the file has left its temporary
    // place: an exclusive lock on the file, so that a recovery, in this process or another
    // one (the `record` command beside the program), never takes a recording being written.
    class Lease {
      public:
        explicit Lease(const QString& path);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        bool isHeld() const { return m_fd >= 0; }

      private:
        int m_fd = -1;
    };

    // Moves non-empty recordings that a previous run left in `folder` (by default the private
    // work folder, and the shared temporary folder where older versions wrote them, taking
    // only this user's files there) into the library, and deletes empty ones. A recording
    // whose lease is held is left alone. Answers how many were moved.
    static int recoverStranded(const QString& folder = QString());
};

class PageAddress {
  public:
    static bool isOn();
    static void setOn(bool on);
};

} // namespace ombrel
