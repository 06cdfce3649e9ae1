#pragma once

#include "output/history/HistoryItem.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace zorv
{

class HistoryGrid;
class HistoryGridModel;
class HistoryView;

// The history window's content: a header with the entry count, the search
// field and "Clear All"; below it the grid, or the empty state.
class HistoryWindow : public QWidget
{
    Q_OBJECT
  public:
    explicit HistoryWindow(HistoryView &view, QWidget *parent = nullptr);

    HistoryGrid *grid() const { return m_grid; }
    HistoryGridModel *model() const { return m_model; }
    QLineEdit *searchField() const { return m_search; }
    QPushButton *clearAllButton() const { return m_clearAll; }
    bool showsEmptyState() const;
    QString emptyTitle() const;
    QString countText() const;

  Q_SIGNALS:
    void openRequested(const zorv::HistoryItem &item);
    void menuRequested(const zorv::HistoryItem &item, const QPoint &globalPos);
    void clearAllRequested();
    void closed();

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void refresh();

    HistoryView &m_view;
    HistoryGridModel *m_model;
    HistoryGrid *m_grid;
    QLabel *m_count;
    QLineEdit *m_search;
    QPushButton *m_clearAll;
    QStackedWidget *m_stack;
    QLabel *m_emptyTitle;
};

} // namespace zorv
