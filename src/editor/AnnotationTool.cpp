#include "editor/AnnotationTool.h"

#include <array>

namespace zorv::annotationTool
{

namespace
{

struct ToolInfo {
    AnnotationTool tool;
    const char *raw;
    const char *title;
    const char *symbol;
    const char *shortcut;
};

constexpr std::array<ToolInfo, 13> table{{
    {AnnotationTool::select, "select", "Select", "cursorarrow", "V"},
    {AnnotationTool::arrow, "arrow", "Arrow", "arrow.up.right", "A"},
    {AnnotationTool::line, "line", "Line", "line.diagonal", "L"},
    {AnnotationTool::rectangle, "rectangle", "Rectangle", "rectangle", "R"},
    {AnnotationTool::ellipse, "ellipse", "Ellipse", "circle", "O"},
    {AnnotationTool::freehand, "freehand", "Pen", "scribble.variable", "P"},
    {AnnotationTool::highlighter, "highlighter", "Highlighter", "highlighter", "H"},
    {AnnotationTool::text, "text", "Text", "textformat", "T"},
    {AnnotationTool::number, "number", "Number", "1.circle", "N"},
    {AnnotationTool::blur, "blur", "Blur", "drop.fill", "B"},
    {AnnotationTool::pixelate, "pixelate", "Pixelate", "squareshape.split.3x3", "X"},
    {AnnotationTool::spotlight, "spotlight", "Spotlight", "flashlight.off.fill", "S"},
    {AnnotationTool::crop, "crop", "Crop", "crop", "C"},
}};

static_assert(
    [] {
        for (size_t i = 0; i < table.size(); ++i) {
            if (static_cast<size_t>(table[i].tool) != i)
                return false;
        }
        return true;
    }(),
    "the tool table must follow the enumeration's order");

const ToolInfo &info(AnnotationTool tool)
{
    // The table is in declaration order, so the enumerator is its index.
    return table[static_cast<size_t>(tool)];
}

} // namespace

const QList<AnnotationTool> &all()
{
    static const QList<AnnotationTool> tools = [] {
        QList<AnnotationTool> list;
        for (const ToolInfo &entry : table)
            list.append(entry.tool);
        return list;
    }();
    return tools;
}

QString rawValue(AnnotationTool tool)
{
    return QLatin1String(info(tool).raw);
}

std::optional<AnnotationTool> fromRawValue(const QString &raw)
{
    for (const ToolInfo &entry : table) {
        if (raw == QLatin1String(entry.raw))
            return entry.tool;
    }
    return std::nullopt;
}

QString title(AnnotationTool tool)
{
    return QLatin1String(info(tool).title);
}

QString symbol(AnnotationTool tool)
{
    return QLatin1String(info(tool).symbol);
}

QString shortcut(AnnotationTool tool)
{
    return QLatin1String(info(tool).shortcut);
}

} // namespace zorv::annotationTool
