#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace zorv
{

// The editor's tools, in toolbar order. Every annotation records the tool that
// made it; select and crop are modes that draw nothing.
enum class AnnotationTool {
    select,
    arrow,
    line,
    rectangle,
    ellipse,
    freehand,
    highlighter,
    text,
    number,
    blur,
    pixelate,
    spotlight,
    crop,
};

namespace annotationTool
{
// All thirteen tools in toolbar order.
const QList<AnnotationTool> &all();
// The raw value doubles as the tool's identity ("freehand" for the Pen).
QString rawValue(AnnotationTool tool);
std::optional<AnnotationTool> fromRawValue(const QString &raw);
QString title(AnnotationTool tool);
// Symbol-image name of the toolbar button.
QString symbol(AnnotationTool tool);
// One upper-case letter.
QString shortcut(AnnotationTool tool);
} // namespace annotationTool

} // namespace zorv
