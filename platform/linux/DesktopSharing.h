#pragma once
// Sharing on a freedesktop desktop: e-mail through xdg-email, Bluetooth through
// bluetooth-sendto, the applications registered for a content type through GIO (the same
// lists the desktop's own "Open With" shows), and Qt's folder panel.

#include "platform/Sharing.h"

namespace ombrel {

class DesktopSharing : public Sharing {
  public:
    // `ownDesktopId` is this program's desktop-file id, kept out of the applications.
    explicit DesktopSharing(QString ownDesktopId);

    bool canMail() override;
    bool mail(const QStringList& files) override;
    bool canSendByBluetooth() override;
    bool sendByBluetooth(const QStringList& files) override;
    QList<ShareApplication> applicationsFor(const QStringList& files) override;
    bool openWith(const QString& applicationId, const QStringList& files) override;
    void chooseFolder(const QString& title, const QString& acceptLabel,
                      std::function<void(std::optional<QString>)> done) override;

    // The xdg-email arguments that attach `files` to a new message.
    static QStringList mailArguments(const QStringList& files);

  private:
    // Starts `program` without waiting for it; how it ends is logged.
    static bool start(const QString& program, const QStringList& arguments);
    QString m_ownDesktopId;
};

} // namespace ombrel
