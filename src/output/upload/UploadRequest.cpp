#include "output/upload/UploadRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QUuid>
#include <algorithm>

namespace zorv
{

namespace uploadTexts
{
QString badEndpoint()
{
    return QStringLiteral("The upload endpoint must be an https:// URL.");
}

QString noLink()
{
    return QStringLiteral("The server did not return a link.");
}

QString badStatus(int status)
{
    return QStringLiteral("Upload failed with HTTP %1.").arg(status);
}
} // namespace uploadTexts

namespace
{
bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// Token characters of HTTP field names.
bool isTokenChar(QChar c)
{
    static const QString punctuation = QStringLiteral("!#$%&'*+-.^_`|~");
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           punctuation.contains(c);
}

// The text with control characters shown as escapes, for messages.
QString visible(const QString &text)
{
    QString shown;
    for (QChar c : text) {
        if (c == u'\r')
            shown += QStringLiteral("\\r");
        else if (c == u'\n')
            shown += QStringLiteral("\\n");
        else if (isControl(c))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            shown += c;
    }
    return shown;
}

bool hasControl(const QString &text, bool allowTab)
{
    return std::any_of(text.begin(), text.end(),
                       [allowTab](QChar c) { return isControl(c) && !(allowTab && c == u'\t'); });
}

QString memberText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    default:
        return QStringLiteral("null");
    }
}

void setHeader(QList<std::pair<QByteArray, QByteArray>> &headers, const QByteArray &name,
               const QByteArray &value)
{
    for (auto &[existing, existingValue] : headers) {
        if (existing.compare(name, Qt::CaseInsensitive) == 0) {
            existing = name;
            existingValue = value;
            return;
        }
    }
    headers.append({name, value});
}
} // namespace

std::optional<QUrl> uploadEndpointURL(const QString &endpoint)
{
    const QUrl url(endpoint, QUrl::StrictMode);
    if (endpoint.isEmpty() || !url.isValid())
        return std::nullopt;
    if (url.scheme() == u"https" && !url.host().isEmpty())
        return url;
    const QString host = url.host();
    if (url.scheme() == u"http" && (host == u"localhost" || host == u"127.0.0.1" || host == u"::1"))
        return url;
    return std::nullopt;
}

QList<std::pair<QString, QString>> extraUploadHeaders(const QString &headersJSON)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(headersJSON.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    QList<std::pair<QString, QString>> headers;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        headers.append({it.key(), memberText(it.value())});
    return headers;
}

QString headerNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("An extra header has an empty name.");
    if (!std::all_of(name.begin(), name.end(), isTokenChar))
        // Only the part before the first bad character is quoted: a pasted
        // "Authorization: Bearer …" must not show its secret in a warning.
        return QStringLiteral("The extra header name \"%1…\" may only hold letters, digits and "
                              "!#$%&'*+-.^_`|~.")
            .arg(visible(name.left(
                int(std::find_if_not(name.begin(), name.end(), isTokenChar) - name.begin()))));
    return {};
}

QString headerValueProblem(const QString &name, const QString &value)
{
    // The value itself may be a secret, so only the header is named.
    if (hasControl(value, true))
        return QStringLiteral("The value of the extra header \"%1\" holds a line break or "
                              "another control character.")
            .arg(visible(name));
    return {};
}

QString fieldNameProblem(const QString &fieldName)
{
    if (hasControl(fieldName, false) || fieldName.contains(u'"'))
        return QStringLiteral("The form field name \"%1\" may not hold line breaks, other "
                              "control characters or double quotes.")
            .arg(visible(fieldName));
    return {};
}

QString extraHeadersProblem(const QString &headersJSON)
{
    for (const auto &[name, value] : extraUploadHeaders(headersJSON)) {
        QString problem = headerNameProblem(name);
        if (problem.isEmpty())
            problem = headerValueProblem(name, value);
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

QByteArray newUploadBoundary()
{
    return "----ZorvBoundary" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
}

Expected<UploadRequest, UploadFailure> buildUploadRequest(const UploadOptions &options,
                                                          const QByteArray &data,
                                                          const QString &fileName,
                                                          const QByteArray &boundary)
{
    const std::optional<QUrl> url = uploadEndpointURL(options.endpoint);
    if (!url)
        return UploadFailure{uploadTexts::badEndpoint()};
    if (QString problem = fieldNameProblem(options.fieldName); !problem.isEmpty())
        return UploadFailure{problem};
    if (hasControl(options.token, false))
        return UploadFailure{QStringLiteral("The bearer token holds a line break or another "
                                            "control character.")};
    if (QString problem = extraHeadersProblem(options.headersJSON); !problem.isEmpty())
        return UploadFailure{problem};

    UploadRequest request;
    request.url = *url;
    request.boundary = boundary;
    setHeader(request.headers, "Content-Type", "multipart/form-data; boundary=" + boundary);
    if (!options.token.isEmpty())
        setHeader(request.headers, "Authorization", "Bearer " + options.token.toUtf8());
    for (const auto &[name, value] : extraUploadHeaders(options.headersJSON))
        setHeader(request.headers, name.toUtf8(), value.toUtf8());

    QString mimeType =
        QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
    if (mimeType.isEmpty() || mimeType == u"application/octet-stream")
        mimeType = QStringLiteral("application/octet-stream");

    QByteArray &body = request.body;
    body.reserve(data.size() + 512);
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"" + options.fieldName.toUtf8() +
            "\"; filename=\"" + fileName.toUtf8() + "\"\r\n";
    body += "Content-Type: " + mimeType.toUtf8() + "\r\n\r\n";
    body += data;
    body += "\r\n--" + boundary + "--\r\n";
    return request;
}

} // namespace zorv
