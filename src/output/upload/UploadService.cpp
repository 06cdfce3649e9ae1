#include "output/upload/UploadService.h"

#include "common/WhenReady.h"
#include "output/encoding/ImageEncoder.h"
#include "output/upload/UploadReply.h"
#include "settings/AppSettings.h"

#include <QFuture>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

namespace
{
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");

// Servers may echo what they were sent; the token never reaches the user's screen.
QString withoutToken(QString message, const QString &token)
{
    if (!token.isEmpty())
        message.replace(token, QStringLiteral("•••"), Qt::CaseInsensitive);
    return message;
}
} // namespace

UploadService::UploadService(UploadServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
}

UploadService::~UploadService() = default;

void UploadService::upload(const QImage &image)
{
    if (!m_services.settings->uploadConfigured()) {
        m_services.toast(QStringLiteral("Configure an upload endpoint in Settings"),
                         QStringLiteral("gearshape.fill"), 1.9);
        if (m_services.openSettings)
            m_services.openSettings();
        return;
    }
    whenReady(QtConcurrent::run([image] { return ImageEncoder::pngData(image); }), this,
              [this](std::optional<QByteArray> png) {
                  if (!png)
                      return;
                  m_services.toast(QStringLiteral("Uploading…"),
                                   QStringLiteral("arrow.up.circle.fill"), 30);
                  send(*png, QStringLiteral("zorv.png"),
                       [this](Expected<QString, UploadFailure> link) {
                           if (!link) {
                               m_services.toast(link.error().message, warningSymbol, 1.9);
                               return;
                           }
                           m_services.copyText(link.value());
                           m_services.toast(QStringLiteral("Link copied to clipboard"),
                                            QStringLiteral("link"), 1.9);
                       });
              });
}

void UploadService::send(const QByteArray &data, const QString &fileName,
                         std::function<void(Expected<QString, UploadFailure>)> completion)
{
    if (m_services.settings->uploadTokenLoaded()) {
        post(data, fileName, std::move(completion));
        return;
    }
    // The keyring answers once after start; an upload asked for before then waits for it.
    connect(
        m_services.settings, &AppSettings::uploadTokenReady, this,
        [this, data, fileName, completion = std::move(completion)] {
            post(data, fileName, completion);
        },
        Qt::SingleShotConnection);
}

void UploadService::post(const QByteArray &data, const QString &fileName,
                         std::function<void(Expected<QString, UploadFailure>)> completion)
{
    const AppSettings &settings = *m_services.settings;
    const UploadOptions options{settings.uploadEndpoint(), settings.uploadToken(),
                                settings.uploadFieldName(), settings.uploadHeadersJSON()};
    const auto fail = [&options, &completion](const QString &message) {
        completion(UploadFailure{withoutToken(message, options.token)});
    };
    auto request = buildUploadRequest(options, data, fileName, newUploadBoundary());
    if (!request)
        return fail(request.error().message);
    UploadTransport *sender = transport();
    if (!sender)
        return fail(QStringLiteral("Uploading is unavailable: Zorv's network module could not "
                                   "be loaded."));
    sender->post(
        request.value(), m_services.timeoutMs,
        [token = options.token,
         completion = std::move(completion)](Expected<UploadReply, UploadFailure> reply) {
            if (!reply)
                return completion(UploadFailure{withoutToken(reply.error().message, token)});
            auto link = parseUploadReply(reply.value().status, reply.value().body);
            if (!link)
                return completion(UploadFailure{withoutToken(link.error().message, token)});
            completion(link.value());
        });
}

UploadTransport *UploadService::transport()
{
    if (!m_transportTried) {
        m_transportTried = true;
        if (m_services.makeTransport)
            m_transport = m_services.makeTransport();
    }
    return m_transport.get();
}

} // namespace zorv
