#pragma once
// The Linux backends of the smaller services.

#include "platform/LoginItem.h"
#include "platform/Pasteboard.h"
#include "platform/Permissions.h"
#include "platform/Sounds.h"
#include "platform/Trash.h"
#include "platform/Workspace.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <memory>
#include <mutex>

struct ca_context;

namespace ombrel {

// The X clipboard through Qt. Whatever we put there is served by this process, so it
// stays pasteable only while the program runs (X has no clipboard keeper by default).
class QtPasteboard : public Pasteboard {
  public:
    void putPng(const QByteArray& png) override;
    bool putFiles(const QList<QUrl>& files) override;
    QImage image() override;
    QByteArray png() override;
    QList<QUrl> files() override;
};

// Theme sounds and WAV files through libcanberra (PulseAudio or ALSA underneath).
class CanberraSounds : public Sounds {
  public:
    CanberraSounds();
    ~CanberraSounds() override;
    void playEvent(const QString& eventId) override;
    void playWav(const QByteArray& wav, double volume) override;

  private:
    ca_context* m_context = nullptr;
    QTemporaryDir m_dir; // synthesised sounds are played from files here
    unsigned m_next = 1;
};

// The freedesktop Trash of the user's home.
class FreedesktopTrash : public Trash {
  public:
    std::optional<QString> moveToTrash(const QString& path) override;
    bool putBack(const QString& trashedPath, const QString& originalPath) override;
};

// An XDG autostart entry in ~/.config/autostart.
class AutostartLoginItem : public LoginItem {
  public:
    explicit AutostartLoginItem(QString desktopId, QString executable);
    bool isEnabled() override;
    QString enable() override;
    QString disable() override;
    QString entryPath() const;

  private:
    QString m_desktopId;
    QString m_executable;
};

class DesktopWorkspace : public Workspace {
  public:
    bool open(const QUrl& url) override;
    bool reveal(const QString& path) override;
    bool openApplication(const QString& desktopId) override;
    bool reducesMotion() override;
    // Through xdg-email, which hands the message to the desktop's e-mail program.
    bool composeMail(const QStringList& to, const QString& subject, const QString& attachment) override;
};

class LinuxAccess : public Access {
  public:
    bool screenCaptureAllowed() override { return true; } // X11 lets every client read the screen
    bool accessibilityTrusted() override;

  private:
    // A yes, and when it was last heard; the element readers ask from worker threads.
    std::mutex m_trustMutex;
    QElapsedTimer m_trustedSince;
};

} // namespace ombrel
