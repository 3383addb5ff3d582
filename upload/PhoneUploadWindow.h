#pragma once
// The "Add from Phone" window: a QR code of the upload page's address and a running
// count of the files received. The server lives exactly as long as the window is open.
//
// Use: make one, connect `received` (bring each file into the library) and `closed`
// (forget the window), then call `begin`.

#include "upload/PhoneUploadServer.h"

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;

namespace ombrel {

class PhoneUploadWindow : public QWidget {
    Q_OBJECT
  public:
    // Answers the address to show in the QR code; by default PhoneUploadServer::localAddress.
    using AddressSource = std::function<std::optional<QString>()>;

    explicit PhoneUploadWindow(QWidget* parent = nullptr);
    PhoneUploadWindow(const PhoneUploadServer::Options& options, AddressSource addressSource,
                      QWidget* parent = nullptr);
    ~PhoneUploadWindow() override;

    // Shows the window in front and starts the server (unless there is no network).
    void begin();

    int receivedCount() const { return m_received; }
    QString statusText() const;
    // The page's address once the server is ready, else empty.
    QString pageAddress() const { return m_pageAddress; }
    // The address as the window shows it under the code (empty until the server is ready).
    QString shownAddress() const;
    const PhoneUploadServer& server() const { return m_server; }

    // A QR code of `text`: level M, 12 pixels per module, black on white with a quiet
    // border of two modules; a null image when the text does not fit in a QR code.
    static QImage qrCode(const QString& text);
    static constexpr int qrScale = 12;
    static constexpr int qrBorderModules = 2;

  Q_SIGNALS:
    // One file arrived and sits in the server's inbox at `path`.
    void received(const QString& path);
    // The window was closed and its server stopped.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void serverStarted(quint16 port);
    void fileReceived(const QString& path);

    PhoneUploadServer m_server;
    AddressSource m_addressSource;
    QString m_address;
    QString m_pageAddress;
    QLabel* m_qrView = nullptr;
    QLabel* m_addressLine = nullptr;
    QLabel* m_status = nullptr;
    int m_received = 0;
};

} // namespace ombrel
