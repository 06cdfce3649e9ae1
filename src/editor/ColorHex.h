#pragma once

#include <QColor>
#include <QString>
#include <optional>

namespace zorv::colorHex
{

// "#RRGGBB" or "#RRGGBBAA" (the "#" optional, white space around ignored) as an
// sRGB colour; nullopt for anything else.
std::optional<QColor> parse(const QString &text);

// "#RRGGBB" in upper case, alpha dropped; "#000000" for an invalid colour.
QString format(const QColor &color);

// Drawn when an annotation's colour string does not parse.
QColor standardRed();

// The parsed colour, or standardRed() when the text does not parse.
QColor parseOrRed(const QString &text);

} // namespace zorv::colorHex
