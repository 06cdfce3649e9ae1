#pragma once

#include "settings/Options.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

namespace zorv
{

// One monitor as the panel's placement sees it.
struct QuickAccessScreen {
    QRect available; // without panels and docks
    bool primary = false;
};

namespace quickAccessPlacement
{
constexpr int margin = 22;

// Top-left corner of a panel of `size` in `corner` of the primary screen's
// available area (the first screen's when none is primary), kept inside it
// where it fits and pinned to its top-left where it does not. Nullopt
// without any screen: the panel stays where it is.
std::optional<QPoint> origin(const QList<QuickAccessScreen> &screens, QSize size,
                             QuickAccessCorner corner);
} // namespace quickAccessPlacement

} // namespace zorv
