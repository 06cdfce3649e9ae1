#include "editor/ToolSettings.h"

#include <algorithm>

namespace zorv
{

double ToolSettings::toolScale(const QImage &image)
{
    return std::max(image.width() / 1600.0, 1.0);
}

ToolSettings::ToolSettings(const Configured &configured, double scale, QObject *parent)
    : QObject(parent), m_colorHex(configured.colorHex), m_lineWidth(configured.lineWidth * scale),
      m_fontSize(configured.fontSize * scale), m_blurRadius(configured.blurRadius * scale),
      m_pixelScale(configured.pixelScale * scale)
{
}

template <typename T> void ToolSettings::assign(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT changed();
}

void ToolSettings::setTool(AnnotationTool value)
{
    assign(m_tool, value);
}

void ToolSettings::setColorHex(const QString &value)
{
    assign(m_colorHex, value);
}

void ToolSettings::setLineWidth(double value)
{
    assign(m_lineWidth, value);
}

void ToolSettings::setFontSize(double value)
{
    assign(m_fontSize, value);
}

void ToolSettings::setBlurRadius(double value)
{
    assign(m_blurRadius, value);
}

void ToolSettings::setPixelScale(double value)
{
    assign(m_pixelScale, value);
}

} // namespace zorv
