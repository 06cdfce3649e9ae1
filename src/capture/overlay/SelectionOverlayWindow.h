#pragma once

#include <QImage>
#include <QWidget>

namespace zorv
{

class SelectionOverlayView;

// The overlay on one screen: a borderless window above everything that shows
// its screen's part of the shared view and feeds pointer and keys into it.
// Where no compositing manager runs, `background` (the screen as it looked
// before the overlay appeared) is painted under the dimming.
class SelectionOverlayWindow : public QWidget
{
    Q_OBJECT
  public:
    SelectionOverlayWindow(SelectionOverlayView &view, QScreen *screen, QImage background);

    // Repaints the part of a dirty view rectangle that lies on this screen.
    void updateView(const QRectF &viewRect);
    QRectF viewRect() const { return m_viewRect; }

  Q_SIGNALS:
    void firstPaint();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    QPointF toView(const QPointF &global) const;

    SelectionOverlayView &m_view;
    QRectF m_viewRect; // this screen's part of the view
    QImage m_background;
    bool m_painted = false;
};

} // namespace zorv
