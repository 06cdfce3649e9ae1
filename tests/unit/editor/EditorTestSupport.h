#pragma once

#include "editor/Annotation.h"
#include "support/Images.h"

namespace zorv::test
{

inline Annotation makeAnnotation(AnnotationTool tool, QPointF start, QPointF end,
                                 double lineWidth = 4)
{
    return {QUuid::createUuid(), tool, start, end, {}, QStringLiteral("#FF0000"),
            lineWidth,           {},   20,    1,   14, 18};
}

} // namespace zorv::test
