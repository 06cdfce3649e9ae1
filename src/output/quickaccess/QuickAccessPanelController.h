#pragma once

#include "output/quickaccess/QuickAccessActions.h"
#include "output/quickaccess/QuickAccessPayload.h"
#include "output/quickaccess/QuickAccessPlacement.h"
#include "output/quickaccess/QuickAccessView.h"
#include "output/quickaccess/QuickActionButton.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>

class QMimeData;

namespace zorv
{

class AppSettings;
class WindowSystem;

// The floating panel shown after a capture: at most one, a fresh one for each
// payload, gone by itself after the configured time unless the pointer rests
// on it.
class QuickAccessPanelController : public QObject
{
    Q_OBJECT
  public:
    static constexpr double toastSeconds = 1.9;
    using Screens = std::function<QList<QuickAccessScreen>()>;

    // `screens` defaults to Qt's screens.
    QuickAccessPanelController(AppSettings &settings, WindowSystem &windowSystem,
                               QuickAccessActions actions, Screens screens = {},
                               QObject *parent = nullptr);
    ~QuickAccessPanelController() override;

    // Replaces whatever panel is visible with a new one for this payload.
    void show(QuickAccessPayload payload);
    // Removes the panel; safe when nothing is shown.
    void hide();

    QuickAccessView *panel() const { return m_panel.data(); }
    const std::optional<QuickAccessPayload> &payload() const { return m_payload; }
    bool dismissPending() const { return m_dismiss.isActive(); }
    bool dragging() const { return m_dragging; }

    // What the panel's content calls.
    void perform(QuickAction action);
    void setHovering(bool inside);
    QMimeData *dragData() const;
    void dragStarted();
    void dragEnded();

  private:
    void scheduleDismiss();
    void place();
    void annotate();
    void copy();
    void save();
    void reveal();
    void play();
    void remove();
    // The payload's own file, or the history's copy of it, while it exists.
    std::optional<QString> existingFile() const;
    void toast(const QString &message, const QString &symbol) const;

    AppSettings &m_settings;
    WindowSystem &m_windowSystem;
    QuickAccessActions m_actions;
    Screens m_screens;
    QPointer<QuickAccessView> m_panel;
    std::optional<QuickAccessPayload> m_payload;
    QTimer m_dismiss;
    bool m_hovering = false;
    // A drag runs its own event loop inside the panel: the panel must outlive
    // it, so what would replace or remove the panel waits for its end.
    bool m_dragging = false;
    bool m_hideAfterDrag = false;
    std::optional<QuickAccessPayload> m_showAfterDrag;
};

} // namespace zorv
