#pragma once

#include "editor/Annotation.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"


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

} // namespace zorv::test
