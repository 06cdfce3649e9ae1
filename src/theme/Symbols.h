#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace zorv::Symbols
{

bool contains(const QString &symbol);
// The icon for a symbol name, drawn in `color`; null when the name is unknown.
QPixmap pixmap(const QString &symbol, int size, const QColor &color, qreal devicePixelRatio = 1.0);
QIcon icon(const QString &symbol, const QColor &color);

} // namespace zorv::Symbols
