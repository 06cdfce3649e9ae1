#pragma once

#include "modules/upload/UploadModule.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

namespace zorv
{

namespace uploadTexts
{
QString badEndpoint();
QString noLink();
QString badStatus(int status);
} // namespace uploadTexts

// The upload options as stored, read once per upload.
struct UploadOptions {
    QString endpoint;
    QString token;
    QString fieldName;
    QString headersJSON;
};

// The endpoint as a URL when it parses exactly as stored and is https, or plain
// http to this machine (localhost, 127.0.0.1, ::1).
std::optional<QUrl> uploadEndpointURL(const QString &endpoint);

// The extra headers of a JSON object; anything else gives none. Values are the
// members as text: strings as they are, numbers in decimal, others as JSON.
QList<std::pair<QString, QString>> extraUploadHeaders(const QString &headersJSON);

// Why a header name, header value or form field name would break the request
// (line breaks or other control characters that could smuggle in headers);
// empty when it is fine.
QString headerNameProblem(const QString &name);
QString headerValueProblem(const QString &name, const QString &value);
QString fieldNameProblem(const QString &fieldName);
// The first problem of the extra headers text, or empty.
QString extraHeadersProblem(const QString &headersJSON);

// "----ZorvBoundary" and a fresh upper-case UUID.
QByteArray newUploadBoundary();

// The request for `data` as one file part named `fileName`. Refuses a bad
// endpoint and header or field text that would corrupt the request; the
// refusal never quotes the token.
Expected<UploadRequest, UploadFailure> buildUploadRequest(const UploadOptions &options,
                                                          const QByteArray &data,
                                                          const QString &fileName,
                                                          const QByteArray &boundary);

} // namespace zorv
