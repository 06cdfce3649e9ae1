#pragma once

#include "output/history/HistoryItem.h"

#include <QImage>
#include <optional>

namespace zorv
{

// A picture of a history entry whose longer side is at most `maxPixel`,
// decoded from its file on the calling thread. Images are read at the reduced
// size where the format allows it; a GIF and a recording give their first frame.
std::optional<QImage> makeThumbnail(const HistoryItem &item, int maxPixel);

// The first image of a capture file at full size (a GIF's first frame);
// nothing for a file that holds no picture. Decodes on the calling thread.
std::optional<QImage> readImage(const QString &path);

} // namespace zorv
