#include "output/upload/UploadReply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QUrl>

namespace zorv
{

namespace
{
bool isWebLink(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == u"https" || url.scheme() == u"http") &&
           !url.host().isEmpty();
}
} // namespace

Expected<QString, UploadFailure> parseUploadReply(int status, const QByteArray &body)
{
    if (status < 200 || status > 299)
        return UploadFailure{uploadTexts::badStatus(status)};

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error == QJsonParseError::NoError && document.isObject()) {
        const QJsonValue url = document.object().value(QStringLiteral("url"));
        if (url.isString() && isWebLink(url.toString()))
            return url.toString();
    }

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = QString(decoder.decode(body)).trimmed();
    if (!decoder.hasError() && isWebLink(text))
        return text;
    return UploadFailure{uploadTexts::noLink()};
}

} // namespace zorv
