#include "modules/upload/UploadModule.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QStringList>

namespace
{

constexpr qint64 maxReplyBytes = 1 << 20;

class NetworkTransport final : public zorv::UploadTransport
{
  public:
    explicit NetworkTransport(const QByteArray &extraCaPem)
    {
        m_ssl = QSslConfiguration::defaultConfiguration();
        if (!extraCaPem.isEmpty())
            m_ssl.addCaCertificates(QSslCertificate::fromData(extraCaPem, QSsl::Pem));
    }

    void post(const zorv::UploadRequest &upload, int timeoutMs, Completion completion) override
    {
        QNetworkRequest request(upload.url);
        for (const auto &[name, value] : upload.headers)
            request.setRawHeader(name, value);
        // A redirected POST may come back as a GET without the file: the
        // redirect is reported instead of followed.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        request.setTransferTimeout(timeoutMs);
        if (upload.url.scheme() == u"https")
            request.setSslConfiguration(m_ssl);

        QNetworkReply *reply = m_manager.post(request, upload.body);
        auto sslProblems = std::make_shared<QStringList>();
        // A link is short: a server that keeps sending is cut off rather than held in memory.
        auto tooLarge = std::make_shared<bool>(false);
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [reply, tooLarge](qint64 received, qint64) {
                             if (received > maxReplyBytes && !*tooLarge) {
                                 *tooLarge = true;
                                 reply->abort();
                             }
                         });
        QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                         [sslProblems](const QList<QSslError> &errors) {
                             for (const QSslError &error : errors)
                                 sslProblems->append(error.errorString());
                         });
        QObject::connect(
            reply, &QNetworkReply::finished, reply,
            [reply, timeoutMs, sslProblems, tooLarge, completion = std::move(completion)] {
                reply->deleteLater();
                if (*tooLarge) {
                    completion(zorv::UploadFailure{
                        QStringLiteral("The server's answer was larger than %1 MB, too large "
                                       "to be a link.")
                            .arg(maxReplyBytes >> 20)});
                    return;
                }
                // An error status is reported as such; a success whose body was cut
                // short by a transport failure is not, as a part of a link is no link.
                const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                const bool success = status.toInt() >= 200 && status.toInt() <= 299;
                if (status.isValid() && (!success || reply->error() == QNetworkReply::NoError)) {
                    completion(zorv::UploadReply{status.toInt(), reply->readAll()});
                    return;
                }
                QString message = reply->errorString();
                if (reply->error() == QNetworkReply::OperationCanceledError ||
                    reply->error() == QNetworkReply::TimeoutError)
                    message = QStringLiteral("The server did not answer within %1 seconds.")
                                  .arg(timeoutMs / 1000.0);
                else if (!sslProblems->isEmpty())
                    message = QStringLiteral("The server's certificate was refused: %1")
                                  .arg(sslProblems->join(QStringLiteral("; ")));
                completion(zorv::UploadFailure{message});
            });
    }

  private:
    QNetworkAccessManager m_manager;
    QSslConfiguration m_ssl;
};

} // namespace

extern "C" ZORV_UPLOAD_EXPORT zorv::UploadTransport *
zorv_upload_transport(const QByteArray &extraCaPem)
{
    return new NetworkTransport(extraCaPem);
}
