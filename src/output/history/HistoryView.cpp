#include "output/history/HistoryView.h"

#include "output/history/HistoryStore.h"

namespace zorv
{

namespace
{
// Lower case by the locale's rules (Turkish dotted and dotless i), then a
// case-insensitive search for what the locale leaves in upper case.
bool containsFolded(const QString &text, const QString &foldedQuery, const QLocale &locale)
{
    return locale.toLower(text).contains(foldedQuery, Qt::CaseInsensitive);
}
} // namespace

HistoryView::HistoryView(HistoryStore &store, QLocale locale, QObject *parent)
    : QObject(parent), m_store(store), m_locale(std::move(locale))
{
    connect(&m_store, &HistoryStore::itemsChanged, this, &HistoryView::refresh);
    m_filtered = m_store.items();
}

void HistoryView::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    refresh();
}

qsizetype HistoryView::totalCount() const
{
    return m_store.items().size();
}

QList<HistoryItem> HistoryView::filter(const QList<HistoryItem> &items, const QString &query,
                                       const QLocale &locale)
{
    if (query.isEmpty())
        return items;
    const QString folded = locale.toLower(query);
    QList<HistoryItem> kept;
    for (const HistoryItem &item : items) {
        if (containsFolded(item.fileName, folded, locale) ||
            (item.ocrText && containsFolded(*item.ocrText, folded, locale)))
            kept.append(item);
    }
    return kept;
}

void HistoryView::refresh()
{
    m_filtered = filter(m_store.items(), m_query, m_locale);
    Q_EMIT changed();
}

} // namespace zorv
