#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPainter;
class QRectF;
class QWidget;

namespace zorv::editorStyle
{

// The editor is dark whatever the desktop's palette: the capture reads best
// on a neutral dark surround.
QColor windowBackground(); // grey 0.075
QColor panelBackground();  // title bar, rail and inspector
QColor controlFill();      // a button at rest where it needs a body
QColor controlHover();
QColor controlPressed();
QColor hairline(); // separators and rims
QColor text();
QColor secondaryText();
QColor confirmGreen();

// The palette and style sheet for the whole window: labels, sliders, menus,
// tool tips and scroll areas in the editor's colours.
void apply(QWidget *window);
// A section title of the inspector, upper case.
QLabel *sectionTitle(const QString &title, QWidget *parent = nullptr);
QLabel *secondaryLabel(const QString &text, QWidget *parent = nullptr);
// The keyboard focus ring of the editor's own controls.
void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius);

} // namespace zorv::editorStyle
