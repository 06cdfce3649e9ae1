#pragma once

#include "editor/Annotation.h"
#include "support/TemporarySettings.h"

#include <QColor>
#include <QImage>

namespace zorv::test
{

// A settings store of its own on a temporary folder.
using TestSettings = TemporarySettings;

inline Annotation makeAnnotation(AnnotationTool tool, QPointF start, QPointF end,
                                 double lineWidth = 4)
{
    Annotation a;
    a.id = QUuid::createUuid();
    a.tool = tool;
    a.start = start;
    a.end = end;
    a.colorHex = QStringLiteral("#FF0000");
    a.lineWidth = lineWidth;
    a.fontSize = 20;
    a.number = 1;
    a.blurRadius = 14;
    a.pixelScale = 18;
    return a;
}

inline QImage solidImage(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// Opaque random pixels, or translucent premultiplied ones.
QImage noise(int w, int h, quint32 seed, bool opaque = true);

// Distance between two colours as the largest per-channel difference.
int colorDistance(QRgb a, QRgb b);

} // namespace zorv::test
