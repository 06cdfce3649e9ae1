#pragma once

#include <QImage>
#include <QWidget>

namespace zorv
{

class SelectionOverlayView;

// The overlay on one screen: a borderless window above everything that shows
// its screen's part of the shared view and feeds pointer and keys into it.
// It outlives a session: hidden between sessions it keeps its paint buffer,
// so that the next overlay appears quickly.
// An opaque window is for desktops where nothing composites translucency: it
// paints the screen as it looked before the overlay appeared (`background`)
// under the dimming.
class SelectionOverlayWindow : public QWidget
{
    Q_OBJECT
  public:
    SelectionOverlayWindow(QScreen *screen, const QRect &geometry, bool opaque);

    // Starts a session on `view`, showing `background` under it (opaque windows).
    void present(SelectionOverlayView &view, QImage background);
    // Ends the session: releases pointer and keyboard, hides, forgets the view.
    void dismiss();

    bool isOpaque() const { return m_opaque; }
    // Repaints the part of a dirty view rectangle that lies on this screen.
    void updateView(const QRectF &viewRect);
    QRectF viewRect() const { return m_viewRect; }

  Q_SIGNALS:
    // The session's first paint has been handed to the window system.
    void firstPaint();

  protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    QPointF toView(const QPointF &global) const;

    SelectionOverlayView *m_view = nullptr;
    const bool m_opaque;
    QRectF m_viewRect; // this screen's part of the view
    QImage m_background;
    bool m_painted = false;
    bool m_showRepaintPending = false;
    int m_session = 0;
};

} // namespace zorv
