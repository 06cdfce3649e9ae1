#include "app/tray/GlassMenuView.h"
#include "app/tray/PanelPlacement.h"
#include "settings/AppSettings.h"

namespace zorv
{

MenuPage layOutQuickSettings(const MenuContext &context)
{
    using Kind = MenuEntry::Kind;
    constexpr qreal pad = 14;
    constexpr qreal innerWidth = panelGeometry::contentWidth - 2 * pad;
    constexpr qreal rowHeight = 30;
    const AppSettings &settings = context.settings;
    MenuPage page;
    QList<MenuEntry> &entries = page.entries;
    qreal y = (context.model.notchOnBottom ? 0 : 12) + pad;

    entries.append(MenuEntry(Kind::heading, QRectF(pad, y, innerWidth - 32, 26),
                             QStringLiteral("Quick Settings")));
    entries.append(MenuEntry(Kind::gear, QRectF(pad + innerWidth - 28, y - 1, 28, 28), QString(),
                             QStringLiteral("gearshape"), QStringLiteral("Back")));
    y += 26 + 8;

    auto group = [&](const QString &title) {
        entries.append(
            MenuEntry(Kind::groupTitle, QRectF(pad + 2, y, innerWidth, 16), title.toUpper()));
        y += 16 + 4;
    };
    auto toggle = [&](const QString &title, const char *key) {
        MenuEntry entry = MenuEntry(Kind::toggle, QRectF(pad, y, innerWidth, rowHeight), title);
        entry.optionKey = QString::fromUtf8(key);
        if (const OptionBase *option = settings.option(entry.optionKey))
            entry.on = option->variant().toBool();
        else
            entry.enabled = false;
        entries.append(entry);
        y += rowHeight + 2;
    };

    group(QStringLiteral("After capture"));
    toggle(QStringLiteral("Copy to clipboard"), "copyToClipboard");
    toggle(QStringLiteral("Show quick access"), "showQuickAccess");
    toggle(QStringLiteral("Save automatically"), "saveScreenshotsAutomatically");
    y += 8;

    group(QStringLiteral("Format"));
    const OptionBase *format = settings.option(QStringLiteral("imageFormat"));
    const QStringList choices = format ? format->choices() : QStringList();
    const qreal segmentWidth = choices.isEmpty() ? 0 : innerWidth / choices.size();
    for (int i = 0; i < choices.size(); ++i) {
        MenuEntry entry =
            MenuEntry(Kind::segment, QRectF(pad + i * segmentWidth, y, segmentWidth, rowHeight),
                      choices[i].toUpper());
        entry.optionKey = format->key();
        entry.optionValue = choices[i];
        entry.on = format->variant().toString() == choices[i];
        entries.append(entry);
    }
    y += rowHeight + 10;

    group(QStringLiteral("General"));
    toggle(QStringLiteral("Capture sound"), "playSound");
    toggle(QStringLiteral("Launch at login"), "launchAtLogin");
    y += 8;

    MenuEntry all;
    all.kind = Kind::wideButton;
    all.rect = {pad, y, innerWidth, 32};
    all.text = QStringLiteral("All Settings…  ");
    all.detail = QStringLiteral("Ctrl+,");
    all.command = GlassMenuCommand::of(GlassMenuCommand::Kind::allSettings);
    if (const auto reason = context.availability(*all.command)) {
        all.enabled = false;
        all.toolTip = *reason;
    }
    entries.append(all);
    y += 32 + pad;
    page.height = int(std::ceil(y + (context.model.notchOnBottom ? 12 : 0)));
    return page;
}

} // namespace zorv
