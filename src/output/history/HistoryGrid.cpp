#include "output/history/HistoryGrid.h"

#include "output/history/HistoryGridModel.h"
#include "theme/Symbols.h"
#include "theme/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QScrollBar>

namespace zorv
{

namespace
{
constexpr int margin = 18;
constexpr int columnGap = 14;
constexpr int rowGap = 18;
constexpr int padding = 8;
constexpr int radius = 10;
constexpr int textGap = 6;

// Text colour faded towards the background, opaque (symbols are drawn opaque).
QColor secondary(const QPalette &palette, double strength = 0.6)
{
    return Theme::mix(palette.color(QPalette::Base), palette.color(QPalette::Text), strength);
}

// A ring with a gap: shown while the thumbnail is on its way. It does not
// spin, so an idle window causes no wake-ups.
void paintLoading(QPainter &painter, const QRectF &area, const QPalette &palette)
{
    const QRectF ring(area.center() - QPointF(10, 10), QSizeF(20, 20));
    painter.setPen(QPen(secondary(palette), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(ring, 90 * 16, -270 * 16);
}

void paintPlaceholder(QPainter &painter, const QRectF &area, const QPalette &palette, qreal dpr)
{
    const int size = 36;
    const QPixmap icon =
        Symbols::pixmap(QStringLiteral("photo"), size, secondary(palette, 0.45), dpr);
    painter.drawPixmap(QPointF(area.center().x() - size / 2.0, area.center().y() - size / 2.0),
                       icon);
}

void paintBadge(QPainter &painter, const QRectF &area, const QString &text, const QString &symbol,
                qreal dpr)
{
    QFont font = painter.font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.8);
    const QFontMetrics metrics(font);
    const int iconSize = 12;
    const QRectF badge(area.left() + 6, area.top() + 6,
                       6 + iconSize + 4 + metrics.horizontalAdvance(text) + 6, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 160));
    painter.drawRoundedRect(badge, 6, 6);
    painter.drawPixmap(QPointF(badge.left() + 6, badge.center().y() - iconSize / 2.0),
                       Symbols::pixmap(symbol, iconSize, Qt::white, dpr));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge.adjusted(6 + iconSize + 4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     text);
}
} // namespace

QString HistoryCellDelegate::dateText(const QDateTime &date, const QLocale &locale)
{
    // The locale's short date without its year (and the separator that went
    // with it), then its short time.
    static const QRegularExpression year(
        QStringLiteral("[^dM]*y+[^dM]*$|^[^dM]*y+[^dM]*|y+[^dM]*"));
    const QString format = locale.dateFormat(QLocale::ShortFormat).remove(year).trimmed();
    // Likewise the seconds, where the short time has them.
    static const QRegularExpression seconds(QStringLiteral("[^hHmaAp ]*s+(\\.z+)?"));
    const QString time = locale.timeFormat(QLocale::ShortFormat).remove(seconds).trimmed();
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), format) + QLatin1Char(' ') +
           locale.toString(local.time(), time);
}

QSize HistoryCellDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const QFontMetrics metrics(option.font);
    return {m_width, padding + thumbnailHeight + textGap + metrics.height() * 3 + 2 + padding};
}

void HistoryCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    const auto entry = index.data(HistoryGridModel::ItemRole).value<HistoryItem>();
    const QRect cell(option.rect.topLeft(), sizeHint(option, index));
    const QPalette &palette = option.palette;
    const qreal dpr = painter->device()->devicePixelRatioF();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);

    QColor background = palette.color(QPalette::Base);
    if (option.state & QStyle::State_MouseOver)
        background = palette.color(QPalette::AlternateBase);
    painter->setPen(QPen(palette.color(QPalette::Mid), 1));
    painter->setBrush(background);
    painter->drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    const QRectF area(cell.left() + padding, cell.top() + padding, cell.width() - 2 * padding,
                      thumbnailHeight);
    QPainterPath clip;
    clip.addRoundedRect(area, 6, 6);
    painter->save();
    painter->setClipPath(clip);
    painter->fillRect(area, palette.color(QPalette::Window));
    const auto state =
        HistoryGridModel::ThumbnailState(index.data(HistoryGridModel::ThumbnailStateRole).toInt());
    if (state == HistoryGridModel::ThumbnailState::ready) {
        const QImage image = index.data(HistoryGridModel::ThumbnailRole).value<QImage>();
        QSizeF fitted = QSizeF(image.size()).scaled(area.size(), Qt::KeepAspectRatio);
        // Small captures stay at their own size rather than blown up.
        if (image.width() <= area.width() * dpr && image.height() <= area.height() * dpr)
            fitted = QSizeF(image.size()) / dpr;
        const QRectF target(area.center() - QPointF(fitted.width(), fitted.height()) / 2, fitted);
        painter->drawImage(target, image);
    } else if (state == HistoryGridModel::ThumbnailState::loading) {
        paintLoading(*painter, area, palette);
    } else {
        paintPlaceholder(*painter, area, palette, dpr);
    }
    painter->restore();
    if (entry.kind == CaptureKind::recording)
        paintBadge(*painter, area, QStringLiteral("REC"), QStringLiteral("video.fill"), dpr);
    else if (entry.kind == CaptureKind::gif)
        paintBadge(*painter, area, QStringLiteral("GIF"),
                   QStringLiteral("square.stack.3d.down.right"), dpr);

    const QFontMetrics metrics(option.font);
    QRectF line(area.left(), area.bottom() + textGap, area.width(), metrics.height());
    painter->setFont(option.font);
    painter->setPen(palette.color(QPalette::Text));
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(entry.fileName, Qt::ElideMiddle, int(line.width())));
    painter->setPen(secondary(palette));
    line.translate(0, metrics.height() + 1);
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                      QStringLiteral("%1 × %2").arg(entry.pixelWidth).arg(entry.pixelHeight));
    line.translate(0, metrics.height() + 1);
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                      dateText(entry.createdAt, option.locale));
    painter->restore();
}

HistoryGrid::HistoryGrid(HistoryGridModel &model, QWidget *parent)
    : QListView(parent), m_model(model), m_delegate(new HistoryCellDelegate(this))
{
    setModel(&model);
    setItemDelegate(m_delegate);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    // The margins around the viewport in the grid's colour, not the window's.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setMouseTracking(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setSpacing(0);
    setViewportMargins(margin - columnGap / 2, margin - rowGap / 2, margin - columnGap / 2,
                       margin - rowGap / 2);
    // Thumbnails for what a scroll brings into view are asked for once it pauses.
    m_visibleTimer.setSingleShot(true);
    m_visibleTimer.setInterval(40);
    connect(&m_visibleTimer, &QTimer::timeout, this, &HistoryGrid::updateVisibleRows);
    connect(&model, &QAbstractItemModel::modelReset, &m_visibleTimer, qOverload<>(&QTimer::start));
}

void HistoryGrid::layoutColumns()
{
    // The view wraps a row once it reaches the viewport's last pixel column.
    const int width = viewport()->width() - 1;
    const int columns = std::max(1, width / (HistoryCellDelegate::minimumWidth + columnGap));
    const int cellWidth = std::clamp(width / columns - columnGap, HistoryCellDelegate::minimumWidth,
                                     HistoryCellDelegate::maximumWidth);
    m_delegate->setCellWidth(cellWidth);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QSize cell = m_delegate->sizeHint(option, {});
    const QSize grid(cellWidth + columnGap, cell.height() + rowGap);
    if (gridSize() != grid)
        setGridSize(grid);
}

bool HistoryGrid::viewportEvent(QEvent *event)
{
    // The viewport also changes size when the scroll bar comes and goes.
    if (event->type() == QEvent::Resize) {
        layoutColumns();
        m_visibleTimer.start();
    }
    return QListView::viewportEvent(event);
}

void HistoryGrid::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    m_visibleTimer.start();
}

void HistoryGrid::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    Q_EMIT painted();
}

void HistoryGrid::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    layoutColumns();
    // At once: the first screenful should not wait for the pause timer.
    updateVisibleRows();
}

void HistoryGrid::hideEvent(QHideEvent *event)
{
    QListView::hideEvent(event);
    m_visibleTimer.stop();
    m_model.setVisibleRows(1, 0);
}

void HistoryGrid::updateVisibleRows()
{
    const int count = m_model.rowCount();
    if (!isVisible() || count == 0) {
        m_model.setVisibleRows(1, 0);
        return;
    }
    // Cells sit on a regular grid: the first row's height and the number of
    // cells in it give the rows that the viewport shows.
    const QRect first = rectForIndex(m_model.index(0));
    int columns = 1;
    while (columns < count && rectForIndex(m_model.index(columns)).top() == first.top())
        ++columns;
    const int pitch = std::max(1, gridSize().height());
    const int top = verticalOffset() - first.top();
    const int firstLine = std::max(0, top / pitch);
    const int lastLine = (top + viewport()->height()) / pitch;
    m_model.setVisibleRows(firstLine * columns, (lastLine + 1) * columns - 1);
}

} // namespace zorv
