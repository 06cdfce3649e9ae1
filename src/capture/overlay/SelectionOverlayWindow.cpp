#include "capture/overlay/SelectionOverlayWindow.h"

#include "capture/overlay/SelectionOverlayPainter.h"
#include "capture/overlay/SelectionOverlayView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace zorv
{

namespace
{
SelectionOverlayView::Key overlayKey(int key)
{
    using Key = SelectionOverlayView::Key;
    switch (key) {
    case Qt::Key_Left:
        return Key::left;
    case Qt::Key_Right:
        return Key::right;
    case Qt::Key_Down:
        return Key::down;
    case Qt::Key_Up:
        return Key::up;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Key::enter;
    case Qt::Key_Space:
        return Key::space;
    case Qt::Key_Escape:
        return Key::escape;
    default:
        return Key::other;
    }
}
} // namespace

SelectionOverlayWindow::SelectionOverlayWindow(SelectionOverlayView &view, QScreen *screen,
                                               QImage background)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint),
      m_view(view), m_background(std::move(background))
{
    const QRect geometry = screen->geometry();
    m_viewRect = QRectF(geometry).translated(-view.origin());
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (m_background.isNull()) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setWindowTitle(QStringLiteral("Zorv Selection"));
    setScreen(screen);
    setGeometry(geometry);
}

QPointF SelectionOverlayWindow::toView(const QPointF &global) const
{
    return global - m_view.origin();
}

void SelectionOverlayWindow::updateView(const QRectF &viewRect)
{
    const QRectF part = viewRect.intersected(m_viewRect);
    if (part.isEmpty())
        return;
    update(part.translated(-m_viewRect.topLeft()).toAlignedRect());
}

void SelectionOverlayWindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.translate(-m_viewRect.topLeft());
    SelectionOverlayPainter::Underlay underlay;
    if (!m_background.isNull()) {
        underlay = [this](QPainter &p, const QRectF &dirty) {
            // The image holds device pixels; its ratio maps them 1:1 onto the screen.
            const QRectF local = dirty.translated(-m_viewRect.topLeft());
            const qreal ratio = m_background.devicePixelRatio();
            const QRectF source(local.topLeft() * ratio, local.size() * ratio);
            // Opaque pixels: a plain copy, no blending.
            p.save();
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(dirty, m_background, source);
            p.restore();
        };
    }
    for (const QRect &rect : event->region())
        SelectionOverlayPainter::paint(painter, m_view,
                                       QRectF(rect).translated(m_viewRect.topLeft()), underlay);
    if (!m_painted) {
        m_painted = true;
        // Reported once the painted pixels have been handed to the X server,
        // which happens right after this returns.
        QTimer::singleShot(0, this, &SelectionOverlayWindow::firstPaint);
    }
}

void SelectionOverlayWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_view.mouseDown(toView(event->globalPosition()));
}

void SelectionOverlayWindow::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF point = toView(event->globalPosition());
    if (event->buttons() & Qt::LeftButton)
        m_view.mouseDragged(point);
    else
        m_view.mouseMoved(point);
}

void SelectionOverlayWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_view.mouseUp(toView(event->globalPosition()));
}

void SelectionOverlayWindow::keyPressEvent(QKeyEvent *event)
{
    if (!m_view.keyPressed(overlayKey(event->key()),
                           event->modifiers().testFlag(Qt::ShiftModifier)))
        QWidget::keyPressEvent(event);
}

} // namespace zorv
