#pragma once

#include <QListView>
#include <QStyledItemDelegate>
#include <QTimer>

namespace zorv
{

class HistoryGridModel;

// One cell: the thumbnail (or a placeholder), a badge for recordings and
// GIFs, the file name, the pixel size and the date.
class HistoryCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int thumbnailHeight = 118;
    static constexpr int minimumWidth = 176;
    static constexpr int maximumWidth = 220;

    void setCellWidth(int width) { m_width = width; }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // "Dec 7, 14:05" in the user's locale: month, day, hour and minute.
    static QString dateText(const QDateTime &date, const QLocale &locale);

  private:
    int m_width = minimumWidth;
};

// The grid of cells: as many columns of 176 to 220 pixels as fit, asking the
// model for thumbnails of the rows on screen once scrolling pauses.
class HistoryGrid : public QListView
{
    Q_OBJECT
  public:
    HistoryGrid(HistoryGridModel &model, QWidget *parent = nullptr);

    // Tells the model which rows show now (none while hidden).
    void updateVisibleRows();

  Q_SIGNALS:
    void painted();

  protected:
    bool viewportEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    void layoutColumns();

    HistoryGridModel &m_model;
    HistoryCellDelegate *m_delegate;
    QTimer m_visibleTimer;
};

} // namespace zorv
