#pragma once

#include <QRect>
#include <QSize>
#include <QSizeF>

namespace zorv::editorWindowSize
{

// The scale at which an image of `pixels` is first shown: it fits 1184 × 770
// and is never enlarged. A dimension of one pixel or less does not count.
double initialScale(QSize pixels);
// The window content for that image: the scaled image plus room for the rail,
// inspector and title bar, never below 1100 × 560.
QSizeF contentSize(QSize pixels);
// Content of `wanted` size centred in `available`, shrunk to fit it; at least
// `minimum` where the screen has room for that.
QRect placement(QSizeF wanted, QSize minimum, const QRect &available);

} // namespace zorv::editorWindowSize
