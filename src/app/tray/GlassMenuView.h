#pragma once

#include "app/tray/GlassMenuModel.h"
#include "app/tray/NotchedPanelShape.h"
#include "common/Capabilities.h"
#include "theme/GlassSurface.h"

#include <QPixmap>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <optional>

class QVariantAnimation;

namespace zorv
{

class AppSettings;

// One thing drawn in the panel; the clickable ones carry what a click does.
struct MenuEntry {
    enum class Kind {
        heading,
        gear,
        banner,
        sectionTitle,
        tile,
        chip,
        recent,
        ghostButton,
        statusLine,
        groupTitle,
        toggle,
        segment,
        wideButton,
    };
    MenuEntry() = default;
    MenuEntry(Kind kind, QRectF rect, QString text, QString symbol = {}, QString toolTip = {})
        : kind(kind), rect(rect), text(std::move(text)), symbol(std::move(symbol)),
          toolTip(std::move(toolTip))
    {
    }

    Kind kind = Kind::heading;
    QRectF rect; // content coordinates; the notch is inside the content
    QString text;
    QString detail; // tiles: shortcut label or detail line
    QString symbol;
    QString toolTip;
    bool enabled = true;
    bool on = false; // chips, switches, the chosen segment
    std::optional<GlassMenuCommand> command;
    QString optionKey;    // chips, switches, segments: the option a click writes
    QVariant optionValue; // segments: the value it chooses
    QUuid recentId;

    bool clickable() const
    {
        return enabled && (command || !optionKey.isEmpty() || kind == Kind::gear);
    }
};

// Why a command cannot run now; nullopt when it can.
using CommandAvailability = std::function<std::optional<QString>(const GlassMenuCommand &)>;

struct MenuPage {
    QList<MenuEntry> entries;
    int height = 0; // notch included
};

struct MenuContext {
    const GlassMenuModel &model;
    const AppSettings &settings;
    PlatformCapabilities capabilities;
    const CommandAvailability &availability;
};

MenuPage layOutMainPage(const MenuContext &context);
MenuPage layOutQuickSettings(const MenuContext &context);

// The drop-down panel's window: draws the glass sheet and the current page,
// and turns clicks into commands or settings changes.
class GlassMenuView : public QWidget
{
    Q_OBJECT
  public:
    GlassMenuView(GlassMenuModel &model, AppSettings &settings, PlatformCapabilities capabilities,
                  CommandAvailability availability);

    // Compositing on: translucent sheet with a shadow; off: opaque sheet cut
    // to the outline.
    void setTranslucent(bool translucent);
    bool translucent() const { return m_translucent; }
    int contentHeight() const { return m_page.height; }
    const QList<MenuEntry> &entries() const { return m_page.entries; }
    // The content's origin inside the window.
    static QPoint contentOrigin();
    // The outline of the sheet in window coordinates.
    QPainterPath sheetPath() const;
    // Does what a click on the entry does.
    void activate(const MenuEntry &entry);
    // Starts the entrance animation (or shows the final state at once).
    void animateEntrance();

  Q_SIGNALS:
    void commandChosen(const GlassMenuCommand &command);
    void contentHeightChanged(int height);
    void hidden();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

  private:
    void relayout();
    int entryAt(const QPointF &windowPoint) const;
    void paintEntry(QPainter &painter, const MenuEntry &entry, bool hovered) const;
    void paintShadow(QPainter &painter);
    void updateMask();

    GlassMenuModel &m_model;
    AppSettings &m_settings;
    PlatformCapabilities m_capabilities;
    CommandAvailability m_availability;
    MenuPage m_page;
    bool m_translucent = true;
    int m_hovered = -1;
    int m_pressed = -1;
    qreal m_progress = 1; // entrance animation, 0 to 1
    QVariantAnimation *m_entrance = nullptr;
    ShapedGlassMask m_mask;
    QString m_shapeKey;
    QImage m_shadow;
    QString m_shadowKey;
};

} // namespace zorv
