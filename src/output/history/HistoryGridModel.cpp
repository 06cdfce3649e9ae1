#include "output/history/HistoryGridModel.h"

#include "output/history/HistoryStore.h"
#include "output/history/HistoryView.h"

#include <QFutureWatcher>

namespace zorv
{

HistoryGridModel::HistoryGridModel(HistoryView &view, QObject *parent)
    : QAbstractListModel(parent), m_view(view), m_items(view.filtered())
{
    connect(&m_view, &HistoryView::changed, this, &HistoryGridModel::reset);
}

int HistoryGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant HistoryGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const HistoryItem &entry = m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return entry.fileName;
    case ItemRole:
        return QVariant::fromValue(entry);
    case ThumbnailRole:
        return m_thumbnails.value(entry.id);
    case ThumbnailStateRole:
        if (m_thumbnails.contains(entry.id))
            return int(ThumbnailState::ready);
        return int(m_failed.contains(entry.id) ? ThumbnailState::missing : ThumbnailState::loading);
    default:
        return {};
    }
}

HistoryItem HistoryGridModel::item(int row) const
{
    return row >= 0 && row < m_items.size() ? m_items[row] : HistoryItem{};
}

void HistoryGridModel::setVisibleRows(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, int(m_items.size()) - 1);
    QSet<QUuid> visible;
    for (int row = first; row <= last; ++row)
        visible.insert(m_items[row].id);
    m_visible = visible;
    m_thumbnails.removeIf([&](const auto &entry) { return !m_visible.contains(entry.key()); });
    // A file that failed once may be readable by now; it is tried again when it
    // comes back into view.
    m_failed.intersect(m_visible);
    for (int row = first; row <= last; ++row) {
        const HistoryItem &entry = m_items[row];
        if (!m_thumbnails.contains(entry.id) && !m_pending.contains(entry.id) &&
            !m_failed.contains(entry.id))
            request(entry);
    }
}

void HistoryGridModel::request(const HistoryItem &entry)
{
    m_pending.insert(entry.id);
    const QUuid id = entry.id;
    // A watcher rather than a continuation with this model as its context: the
    // model may go while decoding runs, and the watcher goes with it.
    auto *watcher = new QFutureWatcher<std::optional<QImage>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, id] {
        watcher->deleteLater();
        m_pending.remove(id);
        // The cell scrolled away or the entry left: nothing to show it in.
        if (!m_visible.contains(id))
            return;
        const QFuture<std::optional<QImage>> future = watcher->future();
        const std::optional<QImage> image =
            future.resultCount() > 0 ? future.result() : std::nullopt;
        if (image)
            m_thumbnails.insert(id, *image);
        else
            m_failed.insert(id);
        const int row = rowOf(id);
        if (row >= 0)
            Q_EMIT dataChanged(index(row), index(row), {ThumbnailRole, ThumbnailStateRole});
    });
    watcher->setFuture(m_view.store().thumbnail(entry, thumbnailPixels));
}

int HistoryGridModel::rowOf(const QUuid &id) const
{
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items[row].id == id)
            return row;
    }
    return -1;
}

void HistoryGridModel::reset()
{
    beginResetModel();
    m_items = m_view.filtered();
    QSet<QUuid> present;
    for (const HistoryItem &entry : std::as_const(m_items))
        present.insert(entry.id);
    m_visible.intersect(present);
    m_failed.intersect(present);
    m_thumbnails.removeIf([&](const auto &entry) { return !present.contains(entry.key()); });
    endResetModel();
}

} // namespace zorv
