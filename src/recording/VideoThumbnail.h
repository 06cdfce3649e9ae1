#pragma once

#include <QFuture>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace zorv::VideoThumbnail
{

// The picture of a recording shown in the quick-access panel: its first
// frame, at most 600 pixels on either side (a GIF's first image likewise).
// Decoded off the GUI thread.
QFuture<std::optional<QImage>> make(const QString &path);

// The frame size of a video whose first frame decodes; nothing for a file
// that holds no playable video. Decodes on the calling thread.
std::optional<QSize> playableFrameSize(const QString &path);

} // namespace zorv::VideoThumbnail
