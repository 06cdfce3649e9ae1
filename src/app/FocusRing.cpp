#include "app/FocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScrollBar>

namespace zorv
{

namespace
{
constexpr int ringWidth = 2;
constexpr int gap = 2; // between the control and the ring
} // namespace

FocusRing::FocusRing(QWidget *window) : QWidget(window)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { follow(now); });
    window->installEventFilter(this);
}

void FocusRing::follow(QWidget *focused)
{
    if (m_target)
        m_target->removeEventFilter(this);
    m_target = focused && focused->window() == parentWidget() ? focused : nullptr;
    if (m_target)
        m_target->installEventFilter(this);
    // Scrolling moves the control without telling it.
    for (QScrollBar *bar : parentWidget()->findChildren<QScrollBar *>())
        connect(bar, &QScrollBar::valueChanged, this, &FocusRing::place, Qt::UniqueConnection);
    place();
}

void FocusRing::place()
{
    if (!m_target || !m_target->isVisible()) {
        hide();
        return;
    }
    const int margin = ringWidth + gap;
    const QPoint origin = m_target->mapTo(parentWidget(), QPoint(0, 0));
    setGeometry(QRect(origin, m_target->size()).adjusted(-margin, -margin, margin, margin));
    // The ring stays inside the scroll area's view, so it never covers the sidebar.
    QWidget *clip = m_target->parentWidget();
    while (clip && clip != parentWidget() && !clip->inherits("QAbstractScrollArea"))
        clip = clip->parentWidget();
    if (clip && clip != parentWidget()) {
        const QRect view(clip->mapTo(parentWidget(), QPoint(0, 0)), clip->size());
        setMask(QRegion(view.translated(-pos())));
    } else {
        clearMask();
    }
    show();
    raise();
    update();
}

bool FocusRing::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::LayoutRequest:
        if (watched == m_target || watched == parentWidget())
            place();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::Highlight), ringWidth);
    painter.setPen(pen);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

} // namespace zorv
