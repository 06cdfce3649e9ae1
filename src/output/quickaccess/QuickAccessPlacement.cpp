#include "output/quickaccess/QuickAccessPlacement.h"

#include <algorithm>

namespace zorv::quickAccessPlacement
{

std::optional<QPoint> origin(const QList<QuickAccessScreen> &screens, QSize size,
                             QuickAccessCorner corner)
{
    if (screens.isEmpty())
        return std::nullopt;
    const auto primary = std::find_if(screens.begin(), screens.end(),
                                      [](const QuickAccessScreen &s) { return s.primary; });
    const QRect f = (primary != screens.end() ? *primary : screens.constFirst()).available;
    const int w = size.width();
    const int h = size.height();
    // QRect's right()/bottom() are inclusive; the arithmetic needs the far edges.
    const int maxX = f.x() + f.width();
    const int maxY = f.y() + f.height();
    int x = 0;
    int y = 0;
    switch (corner) {
    case QuickAccessCorner::bottomTrailing:
        x = maxX - w - margin;
        y = maxY - h - margin;
        break;
    case QuickAccessCorner::bottomLeading:
        x = f.x() + margin;
        y = maxY - h - margin;
        break;
    case QuickAccessCorner::topTrailing:
        x = maxX - w - margin;
        y = f.y() + margin;
        break;
    case QuickAccessCorner::topLeading:
        x = f.x() + margin;
        y = f.y() + margin;
        break;
    }
    // The minimum wins when the panel is larger than the area: its top-left stays visible.
    x = std::max(f.x(), std::min(maxX - w, x));
    y = std::max(f.y(), std::min(maxY - h, y));
    return QPoint(x, y);
}

} // namespace zorv::quickAccessPlacement
