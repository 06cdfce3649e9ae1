#include "output/pins/PinContentView.h"

#include "output/pins/PinGeometry.h"
#include "output/pins/PinWindowController.h"
#include "theme/Symbols.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

namespace zorv
{

namespace
{
QPainterPath roundedBounds(const QSizeF &size)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5),
                        PinGeometry::cornerRadius, PinGeometry::cornerRadius);
    return path;
}
} // namespace

PinContentView::PinContentView(PinWindowController &controller, QImage image, bool shaped)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      m_controller(controller), m_image(std::move(image)), m_shaped(shaped)
{
    // A pin needs no keys: it never takes the focus from the user's application.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    setWindowTitle(QStringLiteral("Zorv Pin"));
}

const QPixmap &PinContentView::scaledImage(const QSize &pixels)
{
    // Scaling a large capture on every paint would make moving a pin stutter.
    if (m_scaled.size() != pixels)
        m_scaled = QPixmap::fromImage(
            m_image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return m_scaled;
}

void PinContentView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPainterPath outline = roundedBounds(size());

    const QRectF target = PinGeometry::imageRect(size(), m_image.size());
    if (!target.isEmpty()) {
        painter.save();
        painter.setClipPath(outline);
        const qreal ratio = devicePixelRatioF();
        const QSize pixels = (target.size() * ratio).toSize().expandedTo(QSize(1, 1));
        painter.drawPixmap(target, scaledImage(pixels), QRectF(QPointF(0, 0), QSizeF(pixels)));
        painter.restore();
    }
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.14f), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);

    if (!m_isHovering)
        return;
    const QRectF close = PinGeometry::closeButtonRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.6f));
    painter.drawEllipse(close);
    const QRectF mark = close.adjusted(6, 6, -6, -6);
    const QPixmap xmark =
        Symbols::pixmap(QStringLiteral("xmark"), int(mark.width()), Qt::white, devicePixelRatioF());
    painter.drawPixmap(mark.toRect(), xmark);

    const QRectF grip = PinGeometry::gripRect(size());
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.5f));
    painter.drawRoundedRect(grip, 3, 3);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.85f), 1));
    painter.drawLine(QPointF(grip.left() + 3, grip.bottom() - 3),
                     QPointF(grip.right() - 3, grip.top() + 3));
    painter.drawLine(QPointF(grip.left() + 3, grip.center().y()),
                     QPointF(grip.center().x(), grip.top() + 3));
}

void PinContentView::enterEvent(QEnterEvent *)
{
    m_isHovering = true;
    update();
}

void PinContentView::leaveEvent(QEvent *)
{
    m_isHovering = false;
    update();
}

void PinContentView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF point = event->position();
    if (m_isHovering && PinGeometry::closeButtonRect().contains(point)) {
        m_controller.close();
        return;
    }
    if (PinGeometry::inResizeZone(point, size()))
        m_dragMode =
            Resizing{QPointF(geometry().topLeft()), qreal(width()), event->globalPosition().x()};
    else if (!m_controller.handOverMove())
        m_dragMode = Moving{event->globalPosition(), pos()};
}

void PinContentView::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF mouse = event->globalPosition();
    if (const auto *moving = std::get_if<Moving>(&m_dragMode)) {
        move(moving->startOrigin + (mouse - moving->startMouse).toPoint());
    } else if (const auto *resizing = std::get_if<Resizing>(&m_dragMode)) {
        const QRectF frame =
            PinGeometry::resizedFrame(resizing->anchor, resizing->startWidth, resizing->startMouseX,
                                      mouse.x(), m_controller.aspect());
        setGeometry(frame.toRect());
        repaint();
    } else {
        setCursor(PinGeometry::inResizeCursorZone(event->position(), size()) ? Qt::CrossCursor
                                                                             : Qt::ArrowCursor);
    }
}

void PinContentView::mouseReleaseEvent(QMouseEvent *)
{
    m_dragMode = std::monostate{};
}

void PinContentView::contextMenuEvent(QContextMenuEvent *event)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Copy"), this, [this] { m_controller.copyImage(); });
    menu->addAction(QStringLiteral("Save As…"), this, [this] { m_controller.saveToDisk(); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Close"), this, [this] { m_controller.close(); });
    menu->popup(event->globalPos());
}

void PinContentView::resizeEvent(QResizeEvent *)
{
    updateShape();
}

void PinContentView::updateShape()
{
    // Where nothing composites, transparent corners would show black.
    if (m_shaped)
        setMask(QRegion(roundedBounds(size()).toFillPolygon().toPolygon()));
}

void PinContentView::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    m_controller.windowClosed();
}

} // namespace zorv
