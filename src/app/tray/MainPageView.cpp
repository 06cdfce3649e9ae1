#include "app/tray/GlassMenuView.h"
#include "app/tray/PanelPlacement.h"
#include "settings/AppSettings.h"

#include <QFileInfo>
#include <cmath>

namespace zorv
{

namespace
{

constexpr qreal pad = 14;
constexpr qreal gap = 8;
constexpr qreal innerWidth = panelGeometry::contentWidth - 2 * pad;
constexpr qreal notchHeight = 12;

struct CaptureTile {
    CaptureAction action;
    const char *title;
    const char *symbol;
};
const CaptureTile captureTiles[] = {
    {CaptureAction::area, "Area", "rectangle.dashed"},
    {CaptureAction::window, "Window", "macwindow"},
    {CaptureAction::fullScreen, "Full Screen", "display"},
    {CaptureAction::scrolling, "Scrolling", "scroll"},
    {CaptureAction::ocr, "Grab Text", "text.viewfinder"},
    {CaptureAction::repeatLastArea, "Repeat Last", "arrow.clockwise"},
};

MenuEntry commandEntry(MenuEntry::Kind kind, QRectF rect, QString text, QString symbol,
                       const GlassMenuCommand &command, const CommandAvailability &availability)
{
    MenuEntry entry;
    entry.kind = kind;
    entry.rect = rect;
    entry.text = std::move(text);
    entry.symbol = std::move(symbol);
    entry.command = command;
    if (const auto reason = availability(command)) {
        entry.enabled = false;
        entry.toolTip = *reason;
    }
    return entry;
}

QString shortcutLabel(const AppSettings &settings, CaptureAction action)
{
    const auto it = settings.hotkeys().constFind(action);
    return it == settings.hotkeys().constEnd() ? QString() : it->displayString();
}

QString statusLine(const AppSettings &settings)
{
    QStringList parts;
    if (settings.saveScreenshotsAutomatically()) {
        QString folder = QFileInfo(settings.saveDirectoryPath()).fileName();
        if (folder.isEmpty())
            folder = settings.saveDirectoryPath();
        parts << QStringLiteral("Saves to ") + folder;
    }
    if (settings.copyToClipboard())
        parts << QStringLiteral("copies to clipboard");
    return parts.isEmpty() ? QStringLiteral("Opens quick access after capture")
                           : parts.join(QStringLiteral(" · "));
}

} // namespace

MenuPage layOutMainPage(const MenuContext &context)
{
    const GlassMenuModel &model = context.model;
    const AppSettings &settings = context.settings;
    using Kind = MenuEntry::Kind;
    MenuPage page;
    QList<MenuEntry> &entries = page.entries;
    // The notch is always cut from the top of the content rectangle's frame;
    // on a bottom panel it is at the bottom and the page starts higher.
    qreal y = (model.notchOnBottom ? 0 : notchHeight) + pad;

    entries.append(
        MenuEntry(Kind::heading, QRectF(pad, y, innerWidth - 32, 26), QStringLiteral("Zorv")));
    entries.append(MenuEntry(Kind::gear, QRectF(pad + innerWidth - 28, y - 1, 28, 28), QString(),
                             QStringLiteral("gearshape"), QStringLiteral("Quick Settings")));
    y += 26 + gap;

    if (!model.screenAccessGranted) {
        entries.append(commandEntry(
            Kind::banner, {pad, y, innerWidth, 38}, QStringLiteral("Allow Screen Recording"),
            QStringLiteral("exclamationmark.triangle.fill"),
            GlassMenuCommand::of(GlassMenuCommand::Kind::enableScreenRecording),
            context.availability));
        y += 38 + gap;
    }
    if (model.isRecording) {
        entries.append(commandEntry(
            Kind::banner, {pad, y, innerWidth, 38}, QStringLiteral("Stop Recording"),
            QStringLiteral("stop.circle.fill"),
            GlassMenuCommand::capture(CaptureAction::recordVideo), context.availability));
        y += 38 + gap;
    }

    auto section = [&](const QString &title) {
        entries.append(
            MenuEntry(Kind::sectionTitle, QRectF(pad + 2, y, innerWidth, 16), title.toUpper()));
        y += 16 + 6;
    };

    section(QStringLiteral("Capture"));
    const qreal tileWidth = (innerWidth - 2 * gap) / 3;
    const qreal tileHeight = 66;
    for (int i = 0; i < 6; ++i) {
        const CaptureTile &tile = captureTiles[i];
        const QRectF rect(pad + (i % 3) * (tileWidth + gap), y + (i / 3) * (tileHeight + gap),
                          tileWidth, tileHeight);
        MenuEntry entry = commandEntry(
            Kind::tile, rect, QString::fromUtf8(tile.title), QString::fromUtf8(tile.symbol),
            GlassMenuCommand::capture(tile.action), context.availability);
        entry.detail = shortcutLabel(settings, tile.action);
        entries.append(entry);
    }
    y += 2 * tileHeight + gap + 12;

    section(QStringLiteral("Record"));
    const qreal halfWidth = (innerWidth - gap) / 2;
    MenuEntry screen =
        commandEntry(Kind::tile, {pad, y, halfWidth, 46}, QStringLiteral("Screen"),
                     QStringLiteral("record.circle"),
                     GlassMenuCommand::capture(CaptureAction::recordVideo), context.availability);
    screen.detail = QStringLiteral("MP4");
    MenuEntry gif =
        commandEntry(Kind::tile, {pad + halfWidth + gap, y, halfWidth, 46}, QStringLiteral("GIF"),
                     QStringLiteral("square.stack.3d.down.right"),
                     GlassMenuCommand::capture(CaptureAction::recordGIF), context.availability);
    gif.detail = QStringLiteral("loops");
    entries << screen << gif;
    y += 46 + gap;

    // The chips only matter to a recording; without one they say why.
    const auto recordingMissing =
        captureAction::unavailableReason(CaptureAction::recordVideo, context.capabilities);
    struct Chip {
        const char *title;
        const char *symbol;
        const char *key;
        qreal width;
    };
    const Chip chips[] = {{"Mic", "mic", "recordingCapturesMicrophone", 86},
                          {"System audio", "speaker.wave.2", "recordingCapturesSystemAudio", 132},
                          {"Show clicks", "cursorarrow.click", "recordingShowsClicks", 0}};
    qreal x = pad;
    for (const Chip &chip : chips) {
        const qreal width = chip.width > 0 ? chip.width : pad + innerWidth - x;
        MenuEntry entry(Kind::chip, QRectF(x, y, width, 28), QString::fromUtf8(chip.title),
                        QString::fromUtf8(chip.symbol));
        entry.optionKey = QString::fromUtf8(chip.key);
        if (const OptionBase *option = settings.option(entry.optionKey))
            entry.on = option->variant().toBool();
        const auto clicksMissing =
            entry.optionKey == QLatin1String("recordingShowsClicks")
                ? captureAction::clicksUnavailableReason(context.capabilities)
                : std::nullopt;
        if (recordingMissing || clicksMissing) {
            entry.enabled = false;
            entry.toolTip = recordingMissing ? *recordingMissing : *clicksMissing;
            if (clicksMissing)
                entry.on = false; // whatever is stored, no clicks are marked here
        }
        entries.append(entry);
        x += width + gap;
    }
    y += 28 + gap + 12;

    if (!model.recent.isEmpty()) {
        section(QStringLiteral("Recent"));
        const qreal thumbWidth = (innerWidth - 3 * gap) / 4;
        for (int i = 0; i < model.recent.size() && i < 4; ++i) {
            const HistoryItem &item = model.recent[i];
            MenuEntry entry = commandEntry(
                Kind::recent, {pad + i * (thumbWidth + gap), y, thumbWidth, 54}, item.fileName, {},
                GlassMenuCommand::openRecent(item), context.availability);
            if (entry.enabled)
                entry.toolTip = item.fileName;
            entry.recentId = item.id;
            if (item.kind == CaptureKind::recording || item.kind == CaptureKind::gif)
                entry.symbol = QStringLiteral("play.circle.fill");
            entries.append(entry);
        }
        y += 54 + gap + 12;
    }

    const qreal ghostWidth = (innerWidth - 2 * gap) / 3;
    entries.append(commandEntry(Kind::ghostButton, {pad, y, ghostWidth, 30},
                                QStringLiteral("Pin Last"), QStringLiteral("pin"),
                                GlassMenuCommand::capture(CaptureAction::pinLast),
                                context.availability));
    entries.append(commandEntry(Kind::ghostButton, {pad + ghostWidth + gap, y, ghostWidth, 30},
                                QStringLiteral("History"), QStringLiteral("clock"),
                                GlassMenuCommand::of(GlassMenuCommand::Kind::history),
                                context.availability));
    entries.append(
        commandEntry(Kind::ghostButton, {pad + 2 * (ghostWidth + gap), y, ghostWidth, 30},
                     QStringLiteral("Quit"), QStringLiteral("power"),
                     GlassMenuCommand::of(GlassMenuCommand::Kind::quit), context.availability));
    y += 30 + 6;
    entries.append(
        MenuEntry(Kind::statusLine, QRectF(pad + 2, y, innerWidth, 18), statusLine(settings)));
    y += 18 + pad;
    page.height = int(std::ceil(y + (model.notchOnBottom ? notchHeight : 0)));
    return page;
}

} // namespace zorv
