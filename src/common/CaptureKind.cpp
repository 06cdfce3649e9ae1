#include "common/CaptureKind.h"

namespace zorv::captureKind
{

QString rawValue(CaptureKind kind)
{
    switch (kind) {
    case CaptureKind::screenshot:
        return QStringLiteral("screenshot");
    case CaptureKind::scrolling:
        return QStringLiteral("scrolling");
    case CaptureKind::recording:
        return QStringLiteral("recording");
    case CaptureKind::gif:
        return QStringLiteral("gif");
    }
    return {};
}

std::optional<CaptureKind> fromRawValue(const QString &raw)
{
    for (CaptureKind kind : {CaptureKind::screenshot, CaptureKind::scrolling,
                             CaptureKind::recording, CaptureKind::gif}) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}

} // namespace zorv::captureKind
