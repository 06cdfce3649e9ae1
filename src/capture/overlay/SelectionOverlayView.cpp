#include "capture/overlay/SelectionOverlayView.h"

#include "capture/overlay/SelectionOverlayGeometry.h"
#include "capture/overlay/SelectionOverlayPainter.h"

namespace zorv
{

namespace Geometry = SelectionOverlayGeometry;

namespace
{
bool hasArea(const std::optional<QRectF> &rect)
{
    return rect && rect->width() > 0 && rect->height() > 0;
}
} // namespace

SelectionOverlayView::SelectionOverlayView(SelectionMode mode, bool windowMode,
                                           const QRectF &unionFrame)
    : m_mode(mode), m_bounds(QPointF(0, 0), unionFrame.size()), m_origin(unionFrame.topLeft()),
      m_isWindowMode(windowMode)
{
}

void SelectionOverlayView::setWindows(QList<WindowInfo> windows)
{
    m_windows = std::move(windows);
    if (m_isWindowMode && m_mousePoint)
        hover(Geometry::windowAt(m_windows, *m_mousePoint, m_origin));
}

void SelectionOverlayView::setSnapshot(QImage snapshot)
{
    m_snapshot = std::move(snapshot);
    if (!m_isWindowMode)
        dirtyPointerDecorations(m_mousePoint);
}

void SelectionOverlayView::setInitialPointer(const QPointF &point)
{
    m_mousePoint = point;
    if (m_isWindowMode)
        m_hoveredWindow = Geometry::windowAt(m_windows, point, m_origin);
}

void SelectionOverlayView::mouseMoved(const QPointF &point)
{
    if (m_finished)
        return;
    if (m_isWindowMode) {
        m_mousePoint = point;
        hover(Geometry::windowAt(m_windows, point, m_origin));
        return;
    }
    dirtyPointerDecorations(m_mousePoint);
    m_mousePoint = point;
    dirtyPointerDecorations(m_mousePoint);
}

void SelectionOverlayView::mouseDown(const QPointF &point)
{
    if (m_finished)
        return;
    m_mousePoint = point;
    if (m_isWindowMode) {
        if (auto window = Geometry::windowAt(m_windows, point, m_origin))
            finish(SelectionOutcome::window(*window));
        return;
    }
    m_startPoint = point;
    m_currentPoint = point;
    m_selection.reset();
    dirtyAll();
}

void SelectionOverlayView::mouseDragged(const QPointF &point)
{
    if (m_finished)
        return;
    dirtyPointerDecorations(m_mousePoint);
    m_mousePoint = point;
    m_currentPoint = point;
    if (m_startPoint) {
        dirtySelectionDecorations(m_selection);
        m_selection = Geometry::dragRect(*m_startPoint, point, m_bounds);
        dirtySelectionDecorations(m_selection);
    }
    dirtyPointerDecorations(m_mousePoint);
}

void SelectionOverlayView::mouseUp(const QPointF &)
{
    // A release without a press in the overlay (a click that began before it
    // appeared) is not a selection attempt.
    if (m_finished || m_isWindowMode || !m_startPoint)
        return;
    m_startPoint.reset();
    m_currentPoint.reset();
    finishWithSelection();
}

bool SelectionOverlayView::keyPressed(Key key, bool shift)
{
    if (m_finished)
        return key != Key::other;
    const qreal step = shift ? 10 : 1;
    switch (key) {
    case Key::left:
        nudge(-step, 0);
        return true;
    case Key::right:
        nudge(step, 0);
        return true;
    case Key::down:
        nudge(0, step);
        return true;
    case Key::up:
        nudge(0, -step);
        return true;
    case Key::enter:
        finishWithSelection();
        return true;
    case Key::space:
        if (m_mode == SelectionMode::screenshot) {
            m_isWindowMode = !m_isWindowMode;
            m_hoveredWindow =
                m_isWindowMode
                    ? Geometry::windowAt(m_windows, m_mousePoint.value_or(QPointF(0, 0)), m_origin)
                    : std::nullopt;
            dirtyAll();
        }
        return true;
    case Key::escape:
        finish(std::nullopt);
        return true;
    case Key::other:
        return false;
    }
    return false;
}

void SelectionOverlayView::nudge(qreal dx, qreal dy)
{
    if (!m_selection)
        return;
    dirtySelectionDecorations(m_selection);
    m_selection = Geometry::nudged(*m_selection, dx, dy, m_bounds);
    m_startPoint = m_selection->bottomLeft();
    m_currentPoint = m_selection->topRight();
    dirtySelectionDecorations(m_selection);
    // The crosshair shows while the selection has no area.
    dirtyPointerDecorations(m_mousePoint);
}

void SelectionOverlayView::finishWithSelection()
{
    if (Geometry::isDeliverable(m_selection))
        finish(SelectionOutcome::area(Geometry::toGlobal(*m_selection, m_origin)));
    else
        finish(std::nullopt);
}

void SelectionOverlayView::finish(std::optional<SelectionOutcome> outcome)
{
    if (m_finished)
        return;
    m_finished = true;
    if (onFinish)
        onFinish(std::move(outcome));
}

void SelectionOverlayView::hover(const std::optional<WindowInfo> &window)
{
    if (window == m_hoveredWindow)
        return;
    for (const auto &shown : {m_hoveredWindow, window}) {
        if (!shown)
            continue;
        dirty(Geometry::highlightRect(*shown, m_origin));
        dirty(SelectionOverlayPainter::windowLabelRect(*shown, m_origin, m_bounds));
    }
    m_hoveredWindow = window;
}

void SelectionOverlayView::dirty(const QRectF &rect)
{
    if (onDirty && !rect.isEmpty())
        onDirty(rect);
}

void SelectionOverlayView::dirtyPointerDecorations(const std::optional<QPointF> &point)
{
    if (!point || m_isWindowMode)
        return;
    if (!m_snapshot.isNull())
        dirty(Geometry::loupeRect(*point, m_bounds));
    if (!hasArea(m_selection)) {
        for (const QRectF &strip : Geometry::crosshairStrips(*point, m_bounds))
            dirty(strip);
    }
}

void SelectionOverlayView::dirtySelectionDecorations(const std::optional<QRectF> &selection)
{
    if (!selection)
        return;
    dirty(selection->adjusted(-2, -2, 2, 2));
    for (const QRectF &strip : Geometry::guideStrips(*selection, m_bounds))
        dirty(strip);
    if (hasArea(selection))
        dirty(SelectionOverlayPainter::sizeLabelRect(*selection, m_bounds));
}

} // namespace zorv
