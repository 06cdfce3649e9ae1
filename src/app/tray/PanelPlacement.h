#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <optional>

namespace zorv
{

// One monitor as the placement sees it, in Qt's global logical coordinates.
struct PlacementScreen {
    QRect geometry;
    QRect available; // the work area: the geometry without panels and docks
};

struct PlacementInput {
    std::optional<QRect> icon; // the tray icon; absent or empty when the tray does not say
    QPoint pointer;            // where the pointer was at the click
    QList<PlacementScreen> screens;
    int primary = 0;       // index into screens
    int contentHeight = 0; // the page's height, notch included
};

struct PanelPlacement {
    QRect frame;         // the window, content plus its transparent margin
    qreal notchX = 0;    // from the content's left edge
    bool upward = false; // opens upwards, notch on the bottom edge
};

namespace panelGeometry
{
constexpr int contentWidth = 368;
constexpr int margin = 28; // room for the shadow on every side
constexpr int screenInset = 8;
} // namespace panelGeometry

// Where the panel goes: under (or, on a bottom panel, over) the icon, on the
// monitor that holds it, inside that monitor's work area. Without icon
// geometry the pointer is the anchor.
PanelPlacement placePanel(const PlacementInput &input);

} // namespace zorv
