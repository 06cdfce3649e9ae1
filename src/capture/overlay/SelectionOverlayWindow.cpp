#include "capture/overlay/SelectionOverlayWindow.h"

#include "capture/overlay/SelectionOverlayPainter.h"
#include "capture/overlay/SelectionOverlayView.h"
#include "common/Trace.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <utility>

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

SelectionOverlayWindow::SelectionOverlayWindow(QScreen *screen, const QRect &geometry, bool opaque)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint),
      m_opaque(opaque)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (opaque) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
    } else {
        setAttribute(Qt::WA_TranslucentBackground);
    }
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setWindowTitle(QStringLiteral("Zorv Selection"));
    setScreen(screen);
    setGeometry(geometry);
}

void SelectionOverlayWindow::present(SelectionOverlayView &view, QImage background)
{
    m_view = &view;
    m_viewRect = QRectF(geometry()).translated(-view.origin());
    m_background = std::move(background);
    m_painted = false;
    ++m_session;
    m_showRepaintPending = true;
    // Showing repaints the whole window before anything reaches the screen,
    // so nothing of the last session shows.
    show();
}

void SelectionOverlayWindow::dismiss()
{
    if (QWindow *handle = windowHandle()) {
        handle->setKeyboardGrabEnabled(false);
        handle->setMouseGrabEnabled(false);
    }
    hide();
    m_view = nullptr;
    m_background = QImage();
}

QPointF SelectionOverlayWindow::toView(const QPointF &global) const
{
    return global - m_view->origin();
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
    if (!m_view)
        return;
    QPainter painter(this);
    painter.translate(-m_viewRect.topLeft());
    SelectionOverlayPainter::Underlay underlay;
    if (!m_background.isNull()) {
        underlay = [this](QPainter &p, const QRectF &dirty) {
            // The image holds the screen's own pixels, mapped 1:1 onto it.
            const QRectF local = dirty.translated(-m_viewRect.topLeft());
            const qreal ratio = devicePixelRatioF();
            const QRectF source(local.topLeft() * ratio, local.size() * ratio);
            // Opaque pixels: a plain copy, no blending.
            p.save();
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(dirty, m_background, source);
            p.restore();
        };
    }
    for (const QRect &rect : event->region())
        SelectionOverlayPainter::paint(painter, *m_view,
                                       QRectF(rect).translated(m_viewRect.topLeft()), underlay);
    if (!m_painted) {
        m_painted = true;
        // Reported once the painted pixels have been handed to the X server,
        // which happens right after this returns, unless the session is over.
        QTimer::singleShot(0, this, [this, session = m_session] {
            if (m_view && m_session == session) {
                Trace::mark("overlay-painted");
                Q_EMIT firstPaint();
            }
        });
    }
}

bool SelectionOverlayWindow::event(QEvent *event)
{
    // Full-window repaints that would only draw the same pixels again (at 4K
    // each costs as much as the overlay's whole first paint): Qt's own after
    // showing, which comes after the first paint has drawn everything, and
    // the ones for gaining or losing the focus, which nothing here shows.
    switch (event->type()) {
    case QEvent::UpdateLater:
        if (std::exchange(m_showRepaintPending, false) && m_painted)
            return true;
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        return true;
    default:
        break;
    }
    return QWidget::event(event);
}

void SelectionOverlayWindow::focusInEvent(QFocusEvent *) {}

void SelectionOverlayWindow::focusOutEvent(QFocusEvent *) {}

void SelectionOverlayWindow::mousePressEvent(QMouseEvent *event)
{
    if (m_view && event->button() == Qt::LeftButton)
        m_view->mouseDown(toView(event->globalPosition()));
}

void SelectionOverlayWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_view)
        return;
    const QPointF point = toView(event->globalPosition());
    if (event->buttons() & Qt::LeftButton)
        m_view->mouseDragged(point);
    else
        m_view->mouseMoved(point);
}

void SelectionOverlayWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_view && event->button() == Qt::LeftButton)
        m_view->mouseUp(toView(event->globalPosition()));
}

void SelectionOverlayWindow::keyPressEvent(QKeyEvent *event)
{
    if (!m_view || !m_view->keyPressed(overlayKey(event->key()),
                                       event->modifiers().testFlag(Qt::ShiftModifier)))
        QWidget::keyPressEvent(event);
}

} // namespace zorv
