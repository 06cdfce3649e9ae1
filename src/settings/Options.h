#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace zorv
{

// The nine user commands. Raw values equal the case names; they are what the
// settings store and the command line use.
enum class CaptureAction {
    area,
    window,
    fullScreen,
    scrolling,
    recordVideo,
    recordGIF,
    ocr,
    pinLast,
    repeatLastArea,
};

enum class ImageFormat { png, jpeg, heic };
enum class RecordingCodec { h264, hevc };
enum class QuickAccessCorner { bottomTrailing, bottomLeading, topTrailing, topLeading };

namespace captureAction
{
const QList<CaptureAction> &all();
QString rawValue(CaptureAction action);
std::optional<CaptureAction> fromRawValue(const QString &raw);
QString title(CaptureAction action);
QString symbol(CaptureAction action);
} // namespace captureAction

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
