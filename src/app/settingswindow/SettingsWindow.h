#pragma once

#include "app/settingswindow/SettingsPages.h"
#include "app/settingswindow/SettingsServices.h"

#include <QPointer>
#include <QWidget>

class QListWidget;
class QStackedWidget;

namespace zorv
{

class SettingsBinder;

// The settings window: a sidebar of tabs and the selected page. Every control
// is bound to the settings store, so there is nothing to apply.
class SettingsWindow : public QWidget
{
    Q_OBJECT
  public:
    explicit SettingsWindow(SettingsServices services, QWidget *parent = nullptr);
    ~SettingsWindow() override;

    void select(SettingsTab tab);
    SettingsTab selected() const;
    // The page of a tab, built when first selected.
    QWidget *page(SettingsTab tab);

  private:
    SettingsServices m_services;
    SettingsBinder *m_binder;
    QListWidget *m_sidebar;
    QStackedWidget *m_pages;
    QList<QWidget *> m_built; // by tab; null until built
};

// Keeps one settings window: built on first use, rebuilt at each opening so
// page state (microphones, permissions, figures) is fresh, raised when it is
// already open. Watches the settings file while the window is open, so that
// values another program writes are shown rather than overwritten.
class SettingsWindowController : public QObject
{
    Q_OBJECT
  public:
    explicit SettingsWindowController(SettingsServices services, QObject *parent = nullptr);
    ~SettingsWindowController() override;

    void open(SettingsTab tab = SettingsTab::general);
    // Closes the window at once (at the end of the program, before the platform goes).
    void closeNow();
    SettingsWindow *window() const { return m_window; }

  private:
    class StoreWatcher;

    SettingsServices m_services;
    QPointer<SettingsWindow> m_window;
};

} // namespace zorv
