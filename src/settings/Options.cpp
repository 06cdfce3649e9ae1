#include "settings/Options.h"

#include <array>

namespace zorv
{
namespace
{

struct ActionRow {
    CaptureAction action;
    const char *raw;
    const char *title;
    const char *symbol;
};

constexpr std::array<ActionRow, 9> actionRows{{
    {CaptureAction::area, "area", "Capture Area", "rectangle.dashed"},
    {CaptureAction::window, "window", "Capture Window", "macwindow"},
    {CaptureAction::fullScreen, "fullScreen", "Capture Full Screen", "rectangle.inset.filled"},
    {CaptureAction::scrolling, "scrolling", "Scrolling Capture", "scroll"},
    {CaptureAction::recordVideo, "recordVideo", "Record Screen", "record.circle"},
    {CaptureAction::recordGIF, "recordGIF", "Record GIF", "square.stack.3d.down.right"},
    {CaptureAction::ocr, "ocr", "Capture Text (OCR)", "text.viewfinder"},
    {CaptureAction::pinLast, "pinLast", "Pin Last Capture", "pin"},
    {CaptureAction::repeatLastArea, "repeatLastArea", "Repeat Last Area", "arrow.clockwise"},
}};

const ActionRow &rowOf(CaptureAction action)
{
    return actionRows[static_cast<size_t>(action)];
}

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

namespace captureAction
{
const QList<CaptureAction> &all()
{
    static const QList<CaptureAction> cases = [] {
        QList<CaptureAction> list;
        for (const auto &row : actionRows)
            list.append(row.action);
        return list;
    }();
    return cases;
}
QString rawValue(CaptureAction action)
{
    return QString::fromLatin1(rowOf(action).raw);
}
std::optional<CaptureAction> fromRawValue(const QString &raw)
{
    return lookup(all(), rawValue, raw);
}
QString title(CaptureAction action)
{
    return QString::fromUtf8(rowOf(action).title);
}
QString symbol(CaptureAction action)
{
    return QString::fromLatin1(rowOf(action).symbol);
}
} // namespace captureAction

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
