#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace zorv::StatusIcon
{

// The viewfinder glyph for a square of side `size` (logical pixels): four
// corner brackets and a centre dot, drawn by code so it is crisp at any scale.
QPixmap viewfinder(int size, const QColor &color, qreal devicePixelRatio = 1.0);
// The tray icon: a light glyph on a thin dark halo, readable on light and dark
// panels alike, at every size a tray may ask for.
QIcon trayIcon();
// The red recording symbol shown while a recording runs.
QIcon recordingIcon();

} // namespace zorv::StatusIcon
