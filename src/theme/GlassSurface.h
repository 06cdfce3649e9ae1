#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRegion>
#include <QSize>
#include <functional>

class QPainter;

namespace zorv
{

// A dark glass sheet drawn behind content in any outline: backdrop, dark fill,
// the indigo tint when glossy, and the sheen on top.
struct GlassSurface {
    QPainterPath shape;
    bool glossy = false;

    // `translucent`: a compositor blends the window with what lies behind it;
    // without one the backdrop is painted opaque.
    void paint(QPainter &painter, bool translucent) const;
};

// The highlight over a glass sheet: a top-down gradient fill and a fine rim,
// both clipped to the outline so only the inner half of the rim shows.
void paintGlossSheen(QPainter &painter, const QPainterPath &shape);

// A soft shadow of `shape` for a surface of `size`: the shape filled with
// `color` and blurred by about `blurRadius`. Made at a quarter of the size
// (a shadow has no detail); draw it stretched over the surface, smoothly.
QImage softShadow(const QPainterPath &shape, const QSize &size, qreal blurRadius,
                  const QColor &color);

// The window region of a glass sheet cut to its outline (used where no
// compositor blends the window's corners away, and for blur-behind). The
// region is rebuilt only when the size changes, not on every repaint.
class ShapedGlassMask
{
  public:
    using MakePath = std::function<QPainterPath(const QRectF &bounds)>;

    explicit ShapedGlassMask(MakePath makePath = {}) : m_makePath(std::move(makePath)) {}
    void setMakePath(MakePath makePath);
    // The region for a window of `size`; empty without a path function.
    const QRegion &region(const QSize &size);
    int rebuilds() const { return m_rebuilds; }

  private:
    MakePath m_makePath;
    QSize m_maskedSize;
    QRegion m_region;
    int m_rebuilds = 0;
};

} // namespace zorv
