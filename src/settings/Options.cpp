#include "settings/Options.h"

namespace zorv
{
namespace
{

// Looks a raw value up in a list of (case, raw) pairs; the enumerations below
// share this so each keeps a single table.
template <typename Enum, typename Raw>
std::optional<Enum> lookup(const QList<Enum> &cases, Raw rawOf, const QString &raw)
{
    for (Enum value : cases) {
        if (rawOf(value) == raw)
            return value;
    }
    return std::nullopt;
}

} // namespace

namespace imageFormat
{
const QList<ImageFormat> &all()
{
    static const QList<ImageFormat> cases{ImageFormat::png, ImageFormat::jpeg, ImageFormat::heic};
    return cases;
}
QString rawValue(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png:
        return QStringLiteral("png");
    case ImageFormat::jpeg:
        return QStringLiteral("jpeg");
    case ImageFormat::heic:
        return QStringLiteral("heic");
    }
    return {};
}
std::optional<ImageFormat> fromRawValue(const QString &raw)
{
    return lookup(all(), rawValue, raw);
}
QString fileExtension(ImageFormat format)
{
    return format == ImageFormat::jpeg ? QStringLiteral("jpg") : rawValue(format);
}
} // namespace imageFormat

namespace recordingCodec
{
const QList<RecordingCodec> &all()
{
    static const QList<RecordingCodec> cases{RecordingCodec::h264, RecordingCodec::hevc};
    return cases;
}
QString rawValue(RecordingCodec codec)
{
    return codec == RecordingCodec::hevc ? QStringLiteral("hevc") : QStringLiteral("h264");
}
QString label(RecordingCodec codec)
{
    return codec == RecordingCodec::hevc ? QStringLiteral("HEVC (smaller)")
                                         : QStringLiteral("H.264 (compatible)");
}
} // namespace recordingCodec

namespace quickAccessCorner
{
const QList<QuickAccessCorner> &all()
{
    static const QList<QuickAccessCorner> cases{
        QuickAccessCorner::bottomTrailing, QuickAccessCorner::bottomLeading,
        QuickAccessCorner::topTrailing, QuickAccessCorner::topLeading};
    return cases;
}
QString rawValue(QuickAccessCorner corner)
{
    switch (corner) {
    case QuickAccessCorner::bottomTrailing:
        return QStringLiteral("bottomTrailing");
    case QuickAccessCorner::bottomLeading:
        return QStringLiteral("bottomLeading");
    case QuickAccessCorner::topTrailing:
        return QStringLiteral("topTrailing");
    case QuickAccessCorner::topLeading:
        return QStringLiteral("topLeading");
    }
    return {};
}
std::optional<QuickAccessCorner> fromRawValue(const QString &raw)
{
    return lookup(all(), rawValue, raw);
}
QString label(QuickAccessCorner corner)
{
    switch (corner) {
    case QuickAccessCorner::bottomTrailing:
        return QStringLiteral("Bottom Right");
    case QuickAccessCorner::bottomLeading:
        return QStringLiteral("Bottom Left");
    case QuickAccessCorner::topTrailing:
        return QStringLiteral("Top Right");
    case QuickAccessCorner::topLeading:
        return QStringLiteral("Top Left");
    }
    return {};
}
} // namespace quickAccessCorner

} // namespace zorv
