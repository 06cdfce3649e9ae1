#pragma once

#include "capture/overlay/SelectionOverlayTypes.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <functional>
#include <optional>

namespace zorv
{

// The overlay's state and input handling, shared by the overlay windows of all
// screens. Coordinates are view coordinates (see SelectionOverlayGeometry).
// Changes are reported as dirty view rectangles through `onDirty`; the windows
// repaint just those.
class SelectionOverlayView
{
  public:
    enum class Key { left, right, down, up, enter, space, escape, other };

    SelectionOverlayView(SelectionMode mode, bool windowMode, const QRectF &unionFrame);

    std::function<void(std::optional<SelectionOutcome>)> onFinish;
    std::function<void(const QRectF &)> onDirty;

    SelectionMode mode() const { return m_mode; }
    QRectF bounds() const { return m_bounds; }
    // Top-left corner of the covered area in global logical coordinates.
    QPointF origin() const { return m_origin; }
    const QList<WindowInfo> &windows() const { return m_windows; }
    const QImage &snapshot() const { return m_snapshot; }
    std::optional<QPointF> mousePoint() const { return m_mousePoint; }
    std::optional<QRectF> selection() const { return m_selection; }
    bool isWindowMode() const { return m_isWindowMode; }
    std::optional<WindowInfo> hoveredWindow() const { return m_hoveredWindow; }
    bool isDragging() const { return m_startPoint.has_value(); }

    void setWindows(QList<WindowInfo> windows);
    void setSnapshot(QImage snapshot);
    // The pointer's position when the overlay appears.
    void setInitialPointer(const QPointF &point);

    void mouseMoved(const QPointF &point);
    void mouseDown(const QPointF &point);
    void mouseDragged(const QPointF &point);
    void mouseUp(const QPointF &point);
    // False when the key is not the overlay's (the caller passes it on).
    bool keyPressed(Key key, bool shift);

  private:
    void finish(std::optional<SelectionOutcome> outcome);
    void finishWithSelection();
    void dirty(const QRectF &rect);
    void dirtyAll() { dirty(m_bounds); }
    void dirtyPointerDecorations(const std::optional<QPointF> &point);
    void dirtySelectionDecorations(const std::optional<QRectF> &selection);
    void hover(const std::optional<WindowInfo> &window);
    void nudge(qreal dx, qreal dy);

    SelectionMode m_mode;
    QRectF m_bounds;
    QPointF m_origin;
    QList<WindowInfo> m_windows;
    QImage m_snapshot;
    std::optional<QPointF> m_startPoint;
    std::optional<QPointF> m_currentPoint;
    std::optional<QPointF> m_mousePoint;
    std::optional<QRectF> m_selection;
    bool m_isWindowMode = false;
    std::optional<WindowInfo> m_hoveredWindow;
    bool m_finished = false;
};

} // namespace zorv
