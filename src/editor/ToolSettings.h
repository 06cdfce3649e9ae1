#pragma once

#include "editor/AnnotationTool.h"

#include <QImage>
#include <QObject>
#include <QString>

namespace zorv
{

// The current tool of one editor window and the values new annotations take.
// Changing them never touches existing annotations or the saved settings.
class ToolSettings : public QObject
{
    Q_OBJECT
  public:
    // The configured values, before scaling for the image.
    struct Configured {
        QString colorHex;
        double lineWidth = 0;
        double fontSize = 0;
        double blurRadius = 0;
        double pixelScale = 0;
    };

    // Sizes start larger on wide captures, so marks keep their look: image
    // width / 1600, at least 1.
    static double toolScale(const QImage &image);

    // The tool starts as arrow; the sizes are the configured ones × scale.
    ToolSettings(const Configured &configured, double scale, QObject *parent = nullptr);

    AnnotationTool tool() const { return m_tool; }
    void setTool(AnnotationTool value);
    QString colorHex() const { return m_colorHex; }
    void setColorHex(const QString &value);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double value);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double value);
    double blurRadius() const { return m_blurRadius; }
    void setBlurRadius(double value);
    // Cell size of new pixelate annotations.
    double pixelScale() const { return m_pixelScale; }
    void setPixelScale(double value);

  Q_SIGNALS:
    // Any of the values above changed.
    void changed();

  private:
    template <typename T> void assign(T &field, const T &value);

    AnnotationTool m_tool = AnnotationTool::arrow;
    QString m_colorHex;
    double m_lineWidth;
    double m_fontSize;
    double m_blurRadius;
    double m_pixelScale;
};

} // namespace zorv
