#pragma once

#include "output/quickaccess/QuickAccessPayload.h"
#include "output/quickaccess/QuickActionButton.h"
#include "theme/GlassSurface.h"

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <functional>

class QLabel;
class QMimeData;

namespace zorv
{

// What the panel's content reports to its controller.
struct QuickAccessViewCallbacks {
    std::function<void(QuickAction)> action;
    std::function<void()> close;
    std::function<void(bool inside)> hover;
    // The drag's data, made when a drag starts; the view reports its start and end.
    std::function<QMimeData *()> dragData;
    std::function<void()> dragStarted;
    std::function<void()> dragEnded;
};

// The thumbnail: the capture, or a placeholder, with a badge that says it can
// be dragged out.
class QuickAccessThumbnail : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int thumbWidth = 168;
    static constexpr int thumbHeight = 112;

    QuickAccessThumbnail(const QuickAccessPayload &payload, QuickAccessViewCallbacks &callbacks,
                         QWidget *parent);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    const QPixmap &scaled(const QSize &pixels);

    QImage m_image;
    bool m_imageLike;
    QPixmap m_scaled;
    QuickAccessViewCallbacks &m_callbacks;
    std::optional<QPoint> m_pressedAt;
};

// The panel window: thumbnail on the left; title, subtitle and the close
// button over the row of action tiles on the right, on a rounded glass sheet.
// It never takes the focus.
class QuickAccessView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int outerMargin = 24; // room for the shadow
    static constexpr int padding = 14;
    static constexpr int cornerRadius = 24;
    static constexpr int tileSpacing = 6;

    // `translucent`: a compositor blends the window's transparent parts.
    QuickAccessView(const QuickAccessPayload &payload, const QString &subtitle, bool translucent,
                    QuickAccessViewCallbacks callbacks);

    QList<QuickActionButton *> tiles() const { return m_tiles; }
    QuickActionButton *tile(QuickAction action) const;
    QAbstractButton *closeButton() const { return m_close; }
    QString subtitle() const;
    // The glass sheet, in window coordinates.
    QPainterPath sheetPath() const;
    bool translucent() const { return m_translucent; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

  private:
    QuickAccessViewCallbacks m_callbacks;
    bool m_translucent;
    QList<QuickActionButton *> m_tiles;
    QAbstractButton *m_close = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_subtitle = nullptr;
    QImage m_shadow;
    bool m_painted = false;
};

} // namespace zorv
