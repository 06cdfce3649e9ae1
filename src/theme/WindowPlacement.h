#pragma once

class QWidget;

namespace zorv
{

// Where Zorv's own windows (history, settings, welcome) first appear: centred
// in the primary screen's available area, clear of panels and docks.
void centreOnPrimaryScreen(QWidget *window);

} // namespace zorv
