#pragma once

#include "output/history/HistoryItem.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>

namespace zorv
{

class HistoryStore;

// What the history window shows: the store's entries narrowed by the search
// text, kept up to date as the store changes.
class HistoryView : public QObject
{
    Q_OBJECT
  public:
    explicit HistoryView(HistoryStore &store, QLocale locale = QLocale::system(),
                         QObject *parent = nullptr);

    HistoryStore &store() const { return m_store; }
    const QString &query() const { return m_query; }
    void setQuery(const QString &query);
    // The shown entries, in store order (newest first).
    const QList<HistoryItem> &filtered() const { return m_filtered; }
    // All entries of the store, whatever the query.
    qsizetype totalCount() const;

    // An empty query keeps everything; any other (a lone space too) keeps the
    // entries whose file name or recognised text contains it, ignoring case by
    // the locale's rules.
    static QList<HistoryItem> filter(const QList<HistoryItem> &items, const QString &query,
                                     const QLocale &locale);

  Q_SIGNALS:
    void changed();

  private:
    void refresh();

    HistoryStore &m_store;
    QLocale m_locale;
    QString m_query;
    QList<HistoryItem> m_filtered;
};

} // namespace zorv
