#include "editor/ui/EditorWindowSize.h"

#include <algorithm>
#include <cmath>

namespace zorv::editorWindowSize
{

double initialScale(QSize pixels)
{
    double k = 1;
    if (pixels.width() > 1)
        k = std::min(k, 1184.0 / pixels.width());
    if (pixels.height() > 1)
        k = std::min(k, 770.0 / pixels.height());
    return k;
}

QSizeF contentSize(QSize pixels)
{
    const double k = initialScale(pixels);
    return {std::max(k * std::max(pixels.width(), 0) + 416, 1100.0),
            std::max(k * std::max(pixels.height(), 0) + 160, 560.0)};
}

QRect placement(QSizeF wanted, QSize minimum, const QRect &available)
{
    const QSize room = available.size();
    QSize size(int(std::ceil(wanted.width())), int(std::ceil(wanted.height())));
    size = size.expandedTo(minimum).boundedTo(room);
    QRect rect(QPoint(), size);
    rect.moveCenter(available.center());
    // moveCenter rounds towards the top left; keep the window on the screen.
    rect.moveLeft(std::clamp(rect.left(), available.left(), available.right() - size.width() + 1));
    rect.moveTop(std::clamp(rect.top(), available.top(), available.bottom() - size.height() + 1));
    return rect;
}

} // namespace zorv::editorWindowSize
