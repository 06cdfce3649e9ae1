#pragma once

#include <QColor>
#include <QString>

namespace zorv::Theme
{

// The application's colours, shared by every window that draws its own surfaces.
inline QColor accent()
{
    return QColor::fromRgbF(0.36f, 0.42f, 1.0f);
}
inline QColor canvasBackground()
{
    return QColor::fromRgbF(0.07f, 0.07f, 0.07f);
}
// Tint of glossy glass.
inline QColor glassTintIndigo()
{
    return QColor::fromRgbF(0.13f, 0.14f, 0.32f, 0.55f);
}
// The darkening layer every glass sheet gets over its backdrop.
inline QColor darkGlassFill()
{
    return QColor::fromRgbF(0.08f, 0.09f, 0.15f, 0.22f);
}
// Stands in for the blurred desktop behind the glass: translucent where a
// compositor blends it, opaque (about what the blend looks like over a
// typical desktop) where nothing does.
inline QColor glassBackdrop(bool translucent)
{
    return translucent ? QColor::fromRgbF(0.10f, 0.10f, 0.13f, 0.72f)
                       : QColor::fromRgbF(0.11f, 0.115f, 0.16f);
}
// `from` moved towards `to` by `amount` (0…1), opaque: for secondary text and
// tinted controls derived from the palette.
inline QColor mix(const QColor &from, const QColor &to, double amount)
{
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * amount,
                            from.greenF() + (to.greenF() - from.greenF()) * amount,
                            from.blueF() + (to.blueF() - from.blueF()) * amount);
}
inline QColor recordingRed()
{
    return QColor::fromRgbF(1.0f, 0.23f, 0.19f);
}

// A thin vertical scroll bar without arrows, for dark windows: the desktop
// style's grey bar stands out on them.
inline QString thinScrollBarStyle()
{
    return QStringLiteral(
        "QScrollBar:vertical { width: 8px; background: transparent; margin: 2px; }"
        "QScrollBar::handle:vertical { background: rgba(255,255,255,0.14);"
        " border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
}

} // namespace zorv::Theme
