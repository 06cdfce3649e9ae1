#pragma once

#include "common/CaptureKind.h"

#include <QImage>
#include <QString>
#include <QUuid>
#include <optional>

namespace zorv
{

// What the quick-access panel shows after one capture.
struct QuickAccessPayload {
    std::optional<QImage> image;     // for recordings, the first frame when one could be made
    std::optional<QString> filePath; // the capture's file, when the caller has one
    CaptureKind kind = CaptureKind::screenshot;
    std::optional<QUuid> historyID;
    QString title;
    QString subtitle;

    // Stills (screenshots and scrolling captures) as opposed to videos.
    bool isImageLike() const
    {
        return kind == CaptureKind::screenshot || kind == CaptureKind::scrolling;
    }
    bool hasImage() const { return image && !image->isNull(); }
};

namespace quickAccess
{
// The panel's first line for a capture of this kind.
QString title(CaptureKind kind);
// The second line as shown: stills copied on capture say so.
QString shownSubtitle(const QuickAccessPayload &payload, bool copyToClipboard);
} // namespace quickAccess

} // namespace zorv
