#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace zorv::test
{

// One colour all over.
QImage solidImage(QSize size = {64, 40}, QColor colour = QColor(10, 120, 200),
                  QImage::Format format = QImage::Format_ARGB32_Premultiplied);
// Opaque random pixels, or translucent premultiplied ones.
QImage noise(int w, int h, quint32 seed, bool opaque = true);
// Any image Zorv writes (PNG, JPEG, HEIC) decoded; a null image for anything else.
QImage decoded(const QByteArray &bytes);
// Distance between two colours as the largest per-channel difference.
int colorDistance(QRgb a, QRgb b);

} // namespace zorv::test
