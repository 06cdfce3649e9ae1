#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <variant>

namespace zorv
{

class PinWindowController;

// The pinned image's window: draws the image with rounded corners, shows the
// close button and the resize grip while hovered, moves by dragging and
// resizes from its bottom-right corner.
class PinContentView : public QWidget
{
    Q_OBJECT
  public:
    struct Moving {
        QPointF startMouse;
        QPoint startOrigin;
    };
    struct Resizing {
        QPointF anchor; // top-left corner, global
        qreal startWidth;
        qreal startMouseX;
    };
    using DragMode = std::variant<std::monostate, Moving, Resizing>;

    PinContentView(PinWindowController &controller, QImage image, bool shaped);

    bool isHovering() const { return m_isHovering; }
    const DragMode &dragMode() const { return m_dragMode; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    const QPixmap &scaledImage(const QSize &pixels);
    void updateShape();

    PinWindowController &m_controller;
    QImage m_image;
    QPixmap m_scaled; // the image at its current on-screen size
    bool m_isHovering = false;
    DragMode m_dragMode;
    bool m_shaped = false; // no compositor: cut the rounded corners out
};

} // namespace zorv
