#pragma once

#include "output/history/HistoryItem.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>

class QMenu;
class QMessageBox;

namespace zorv
{

class HistoryStore;
class HistoryView;
class HistoryWindow;

// What the history window asks of the rest of the application.
struct HistoryActions {
    std::function<void(const HistoryItem &)> open;
    std::function<void(const QString &path)> reveal;
    std::function<void(const QImage &)> copyImage;
    std::function<void(const QString &text)> copyText;
    std::function<void(const QImage &)> pin;
    // Empty while text recognition is not available: the menu item is disabled.
    std::function<void(const QImage &)> extractText;
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    // Hands memory freed by the closed window back to the system.
    std::function<void()> releaseMemory;
};

// Owns the history window, made on first show and kept when closed (so the
// search text stays), and carries out what its cells and menu ask for.
class HistoryWindowController : public QObject
{
    Q_OBJECT
  public:
    HistoryWindowController(HistoryStore &store, HistoryActions actions, QObject *parent = nullptr);
    ~HistoryWindowController() override;

    // Shows the window in front and gives it the focus.
    void show();
    // Null until first shown.
    HistoryWindow *window() const { return m_window.get(); }
    HistoryView *view() const { return m_view.get(); }

    // The cell's context menu, built anew for each entry.
    QMenu *makeMenu(const HistoryItem &item, QWidget *parent);
    void copy(const HistoryItem &item);
    void pin(const HistoryItem &item);
    void extractText(const HistoryItem &item);
    // Asks before deleting every entry; only "Delete" clears.
    QMessageBox *confirmClearAll();

  private:
    // Reads the entry's picture off the main thread and hands it to `use`;
    // nothing for recordings or files that hold no picture.
    void withImage(const HistoryItem &item, std::function<void(const QImage &)> use);
    void windowClosed();

    HistoryStore &m_store;
    HistoryActions m_actions;
    std::unique_ptr<HistoryView> m_view;
    std::unique_ptr<HistoryWindow> m_window;
};

} // namespace zorv
