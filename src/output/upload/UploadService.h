#pragma once

#include "output/upload/UploadTransport.h"

#include <QImage>
#include <QObject>
#include <functional>
#include <memory>

namespace zorv
{

class AppSettings;

// What an upload needs from outside, wired by the application.
struct UploadServices {
    AppSettings *settings = nullptr;
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    std::function<void(const QString &text)> copyText; // the clipboard, as plain text
    std::function<void()> openSettings;                // the settings window, on its Upload page
    // The network part, made at the first upload; null when it is unavailable.
    std::function<std::unique_ptr<UploadTransport>()> makeTransport;
    int timeoutMs = 60 * 1000;
};

// Sends a capture to the user's own server and puts the link it answers with
// on the clipboard. Uploads may overlap; the last one to finish owns the clipboard.
class UploadService : public QObject
{
    Q_OBJECT

  public:
    explicit UploadService(UploadServices services, QObject *parent = nullptr);
    ~UploadService() override;

    // Returns at once: the PNG is made in the background, then posted, and the
    // outcome is told with a toast (and the link put on the clipboard).
    void upload(const QImage &image);

    // Posts `data` under `fileName` with the current options and hands over the
    // link, or why there is none. Waits for the keyring's token when it has not
    // answered yet. No failure text ever holds the token.
    void send(const QByteArray &data, const QString &fileName,
              std::function<void(Expected<QString, UploadFailure>)> completion);

  private:
    void post(const QByteArray &data, const QString &fileName,
              std::function<void(Expected<QString, UploadFailure>)> completion);
    UploadTransport *transport();

    UploadServices m_services;
    std::unique_ptr<UploadTransport> m_transport;
    bool m_transportTried = false;
};

} // namespace zorv
