#pragma once

#include "output/history/HistoryItem.h"

#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QUuid>

namespace zorv
{

class HistoryStore;
class HistoryView;

// The history window's cells. Thumbnails are asked for only for the rows on
// screen and kept only while those rows stay there; the store's cache keeps
// recent ones for a quick return.
class HistoryGridModel : public QAbstractListModel
{
    Q_OBJECT
  public:
    enum Role { ItemRole = Qt::UserRole + 1, ThumbnailRole, ThumbnailStateRole };
    enum class ThumbnailState { loading, ready, missing };
    static constexpr int thumbnailPixels = 480;

    explicit HistoryGridModel(HistoryView &view, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    HistoryItem item(int row) const;

    // The rows now on screen [first, last]; an empty range (first > last)
    // drops every thumbnail.
    void setVisibleRows(int first, int last);
    int heldThumbnails() const { return int(m_thumbnails.size()); }
    int pendingThumbnails() const { return int(m_pending.size()); }

  private:
    void reset();
    void request(const HistoryItem &item);
    int rowOf(const QUuid &id) const;

    HistoryView &m_view;
    QList<HistoryItem> m_items;
    QSet<QUuid> m_visible;
    QSet<QUuid> m_pending;
    QSet<QUuid> m_failed;
    QHash<QUuid, QImage> m_thumbnails;
};

} // namespace zorv
