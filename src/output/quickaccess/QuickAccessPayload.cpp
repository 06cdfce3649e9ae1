#include "output/quickaccess/QuickAccessPayload.h"

namespace zorv::quickAccess
{

QString title(CaptureKind kind)
{
    switch (kind) {
    case CaptureKind::screenshot:
        return QStringLiteral("Screenshot");
    case CaptureKind::scrolling:
        return QStringLiteral("Scrolling Capture");
    case CaptureKind::recording:
        return QStringLiteral("Recording");
    case CaptureKind::gif:
        return QStringLiteral("GIF");
    }
    return {};
}

QString shownSubtitle(const QuickAccessPayload &payload, bool copyToClipboard)
{
    // Only stills go to the clipboard on capture; a video never did.
    if (payload.isImageLike() && copyToClipboard)
        return payload.subtitle + QStringLiteral(" · Copied to clipboard");
    return payload.subtitle;
}

} // namespace zorv::quickAccess
