#pragma once
// Handing files to the desktop's ways of sharing them: an e-mail with the files attached,
// a Bluetooth transfer, another application that opens them, and the question of which
// folder copies should go to.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace ombrel {

// An installed application that can open a kind of file.
struct ShareApplication {
    QString id;       // its desktop-file id, such as "org.gnome.eog.desktop"
    QString name;     // its name as the desktop shows it
    QString iconName; // an icon theme name, or empty
    friend bool operator==(const ShareApplication&, const ShareApplication&) = default;
};

class Sharing {
  public:
    virtual ~Sharing() = default;

    // Whether an e-mail with attachments can be composed on this desktop.
    virtual bool canMail() = 0;
    // Opens a new e-mail in the user's mail program with `files` attached. False when no
    // mail program could be started.
    virtual bool mail(const QStringList& files) = 0;

    // Whether files can be sent to a Bluetooth device (the sending program is installed).
    virtual bool canSendByBluetooth() = 0;
    // Starts the Bluetooth sending program with `files`; it asks for the device itself.
    virtual bool sendByBluetooth(const QStringList& files) = 0;

    // The applications that open every one of `files` (by their content types), this
    // program excluded, the preferred one first. Empty when none does.
    virtual QList<ShareApplication> applicationsFor(const QStringList& files) = 0;
    // Opens `files` in the application with the desktop-file id `applicationId`.
    virtual bool openWith(const QString& applicationId, const QStringList& files) = 0;

    // Asks the user for one folder (new folders can be made in the panel), with `title`
    // on the panel and `acceptLabel` on its button. Does not block: `done` runs on the GUI
    // thread with the folder chosen, or none when the user cancelled.
    virtual void chooseFolder(const QString& title, const QString& acceptLabel,
                              std::function<void(std::optional<QString>)> done) = 0;
};

} // namespace ombrel
