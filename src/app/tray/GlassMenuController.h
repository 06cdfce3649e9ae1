#pragma once

#include "app/tray/GlassMenuModel.h"
#include "app/tray/PanelPlacement.h"
#include "common/Capabilities.h"

#include <QFuture>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

namespace zorv
{

class AppSettings;
class GlassMenuView;
class WindowSystem;

// What the panel's commands do. An empty function leaves its entries
// disabled, with a tooltip saying so.
struct GlassMenuActions {
    std::function<void(CaptureAction)> perform;
    std::function<void(const HistoryItem &)> openRecent;
    std::function<void()> showHistory;
    std::function<void()> openSettings;
    std::function<void()> requestScreenAccess;
    std::function<void()> quit;
};

// What the panel reads from the rest of the program.
struct GlassMenuServices {
    AppSettings *settings = nullptr;
    WindowSystem *windows = nullptr;
    PlatformCapabilities capabilities;
    std::function<bool()> screenAccessGranted;
    std::function<QList<HistoryItem>()> history; // newest first
    std::function<QFuture<std::optional<QImage>>(const HistoryItem &)> thumbnail;
    // Defaults: Qt's screens, the pointer, a monotonic clock.
    std::function<QList<PlacementScreen>()> screens;
    std::function<QPoint()> pointer;
    std::function<qint64()> nowMs;
};

// Owns the drop-down panel: where it opens, when it closes, and what its
// commands do. The panel's window is made on first use and kept.
class GlassMenuController : public QObject
{
    Q_OBJECT
  public:
    // A click that lands this soon after the panel closed was the click that
    // closed it (it also reaches the tray icon): it must not reopen it.
    static constexpr int reopenGuardMs = 250;
    // Commands run after the panel has left the screen.
    static constexpr int commandDelayMs = 120;

    GlassMenuController(GlassMenuActions actions, GlassMenuServices services,
                        QObject *parent = nullptr);
    ~GlassMenuController() override;

    // `icon`: the tray icon's rectangle, when the tray tells it.
    void toggle(std::optional<QRect> icon);
    void show(std::optional<QRect> icon);
    void hide();
    void run(const GlassMenuCommand &command);
    void setRecording(bool recording);

    bool isOpen() const;
    GlassMenuModel &model() { return m_model; }
    GlassMenuView *view() const { return m_view.get(); }
    std::optional<QString> unavailableReason(const GlassMenuCommand &command) const;

  Q_SIGNALS:
    void opened();
    void closed();

  private:
    void ensureView();
    void place(int contentHeight);
    void updateBlur();
    void loadThumbnails();
    void panelHidden();

    GlassMenuActions m_actions;
    GlassMenuServices m_services;
    GlassMenuModel m_model;
    std::unique_ptr<GlassMenuView> m_view;
    std::optional<QRect> m_icon;
    QPoint m_pointer;
    qint64 m_lastHide = std::numeric_limits<qint64>::min() / 2;
    bool m_open = false;
};

} // namespace zorv
