#include "app/tray/PanelPlacement.h"

#include <algorithm>

namespace zorv
{

namespace
{

int screenIndexAt(const QList<PlacementScreen> &screens, const QPoint &point)
{
    for (int i = 0; i < screens.size(); ++i) {
        if (screens[i].geometry.contains(point))
            return i;
    }
    return -1;
}

} // namespace

PanelPlacement placePanel(const PlacementInput &input)
{
    using namespace panelGeometry;
    // Trays that do not know where their icon is report an empty rectangle.
    const bool iconKnown = input.icon && !input.icon->isEmpty() &&
                           screenIndexAt(input.screens, input.icon->center()) >= 0;
    const QRect anchor = iconKnown ? *input.icon : QRect(input.pointer, QSize(1, 1));

    int index = screenIndexAt(input.screens, anchor.center());
    if (index < 0 && !input.screens.isEmpty())
        index = std::clamp(input.primary, 0, int(input.screens.size()) - 1);
    QRect area;
    if (index >= 0) {
        const PlacementScreen &screen = input.screens[index];
        area = screen.available.isEmpty() ? screen.geometry : screen.available;
    }

    const qreal midX = anchor.x() + anchor.width() / 2.0;
    const int lowest = area.x() + screenInset;
    const int highest = area.x() + area.width() - contentWidth - screenInset;
    int x = int(std::lround(midX - contentWidth / 2.0));
    x = std::min(std::max(x, lowest), std::max(highest, lowest));

    PanelPlacement placement;
    placement.notchX = midX - x;
    // A tray in the lower half of its monitor sits in a bottom panel.
    placement.upward = anchor.center().y() > area.center().y();
    const int height = input.contentHeight;
    int top = 0;
    if (placement.upward) {
        top = anchor.y() - 1 - height;
        top = std::max(top, area.y() + screenInset);
    } else {
        top = anchor.y() + anchor.height() + 1;
        top = std::min(top, area.y() + area.height() - screenInset - height);
        top = std::max(top, area.y());
    }
    placement.frame =
        QRect(x - margin, top - margin, contentWidth + 2 * margin, height + 2 * margin);
    return placement;
}

} // namespace zorv
