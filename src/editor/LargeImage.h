#pragma once

#include <QImage>
#include <QSize>

namespace zorv
{

// An uninitialised image like QImage(size, format), but a large one is backed
// by memory that may use huge pages: a fresh 4K picture otherwise costs ten
// thousand page faults, which dominate the time of an effect or an export.
// Null when memory runs out.
QImage largeImage(QSize size, QImage::Format format);

} // namespace zorv
