#pragma once

#include "output/history/HistoryItem.h"

#include <QImage>
#include <optional>

namespace zorv
{

// A picture of a history entry whose longer side is at most `maxPixel`,
// decoded from its file on the calling thread. Images are read at the reduced
// size where the format allows it; a GIF gives its first frame. Video entries
// give nothing for now.
std::optional<QImage> makeThumbnail(const HistoryItem &item, int maxPixel);

} // namespace zorv
