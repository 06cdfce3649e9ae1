#include "output/history/HistoryItem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>
#include <cmath>
#include <limits>

namespace zorv::HistoryIndex
{

namespace
{

// Seconds between 1970-01-01 and 2001-01-01, both UTC.
constexpr double referenceDateOffset = 978307200.0;

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

double secondsSinceReferenceDate(const QDateTime &date)
{
    return double(date.toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
}

QDateTime dateFromReferenceSeconds(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(
        qint64(std::llround((seconds + referenceDateOffset) * 1000.0)), Qt::UTC);
}

QByteArray quoted(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += QByteArray("\\u00") +
                       QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + '"';
}

std::optional<QString> stringMember(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<int> integerMember(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

std::optional<HistoryItem> decodeItem(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto id = stringMember(object, "id");
    const auto fileName = stringMember(object, "fileName");
    const auto kindText = stringMember(object, "kind");
    const QJsonValue createdAt = object.value(QLatin1String("createdAt"));
    const auto width = integerMember(object, "pixelWidth");
    const auto height = integerMember(object, "pixelHeight");
    const auto filePath = stringMember(object, "filePath");
    if (!id || !fileName || !kindText || !createdAt.isDouble() || !width || !height || !filePath)
        return std::nullopt;
    const QUuid uuid = QUuid::fromString(*id);
    const std::optional<CaptureKind> kind = captureKind::fromRawValue(*kindText);
    if (uuid.isNull() || !kind)
        return std::nullopt;

    HistoryItem item{uuid,   *fileName, *kind,     dateFromReferenceSeconds(createdAt.toDouble()),
                     *width, *height,   *filePath, std::nullopt};
    const QJsonValue ocr = object.value(QLatin1String("ocrText"));
    if (ocr.isString())
        item.ocrText = ocr.toString();
    else if (!ocr.isUndefined() && !ocr.isNull())
        return std::nullopt;
    return item;
}

} // namespace

QByteArray encode(const QList<HistoryItem> &items)
{
    QByteArray json = "[";
    for (qsizetype i = 0; i < items.size(); ++i) {
        const HistoryItem &item = items[i];
        json += i == 0 ? "\n  {\n" : ",\n  {\n";
        json += "    \"id\" : " + quoted(idText(item.id)) + ",\n";
        json += "    \"fileName\" : " + quoted(item.fileName) + ",\n";
        json += "    \"kind\" : " + quoted(captureKind::rawValue(item.kind)) + ",\n";
        json += "    \"createdAt\" : " +
                QString::number(secondsSinceReferenceDate(item.createdAt), 'f',
                                QLocale::FloatingPointShortest)
                    .toUtf8() +
                ",\n";
        json += "    \"pixelWidth\" : " + QByteArray::number(item.pixelWidth) + ",\n";
        json += "    \"pixelHeight\" : " + QByteArray::number(item.pixelHeight) + ",\n";
        json += "    \"filePath\" : " + quoted(item.filePath);
        if (item.ocrText)
            json += ",\n    \"ocrText\" : " + quoted(*item.ocrText);
        json += "\n  }";
    }
    json += items.isEmpty() ? "]\n" : "\n]\n";
    return json;
}

std::optional<Decoded> decode(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    Decoded decoded;
    for (const QJsonValue &value : document.array()) {
        if (std::optional<HistoryItem> item = decodeItem(value))
            decoded.items.append(std::move(*item));
        else
            ++decoded.dropped;
    }
    return decoded;
}

} // namespace zorv::HistoryIndex
