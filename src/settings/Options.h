#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace zorv
{

enum class ImageFormat { png, jpeg, heic };
enum class RecordingCodec { h264, hevc };
enum class QuickAccessCorner { bottomTrailing, bottomLeading, topTrailing, topLeading };

namespace imageFormat
{
const QList<ImageFormat> &all();
QString rawValue(ImageFormat format);
std::optional<ImageFormat> fromRawValue(const QString &raw);
// File-name extension: "png", "jpg", "heic".
QString fileExtension(ImageFormat format);
} // namespace imageFormat

namespace recordingCodec
{
const QList<RecordingCodec> &all();
QString rawValue(RecordingCodec codec);
QString label(RecordingCodec codec);
} // namespace recordingCodec

namespace quickAccessCorner
{
const QList<QuickAccessCorner> &all();
QString rawValue(QuickAccessCorner corner);
std::optional<QuickAccessCorner> fromRawValue(const QString &raw);
QString label(QuickAccessCorner corner);
} // namespace quickAccessCorner

} // namespace zorv
