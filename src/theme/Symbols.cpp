#include "theme/Symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerIconResources()
{
    Q_INIT_RESOURCE(zorv);
}

namespace zorv::Symbols
{

namespace
{
// Symbol names used throughout the interface, mapped to the bundled icon set
// (resources/icons, ISC licence). The one place where a name becomes a picture.
const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("rectangle.dashed"), QStringLiteral("square-dashed")},
        {QStringLiteral("macwindow"), QStringLiteral("app-window")},
        {QStringLiteral("rectangle.inset.filled"), QStringLiteral("monitor")},
        {QStringLiteral("display"), QStringLiteral("monitor")},
        {QStringLiteral("clock"), QStringLiteral("clock")},
        {QStringLiteral("power"), QStringLiteral("power")},
        {QStringLiteral("scroll"), QStringLiteral("scroll-text")},
        {QStringLiteral("record.circle"), QStringLiteral("circle-dot")},
        {QStringLiteral("record.circle.fill"), QStringLiteral("circle-dot")},
        {QStringLiteral("square.stack.3d.down.right"), QStringLiteral("layers")},
        {QStringLiteral("text.viewfinder"), QStringLiteral("scan-text")},
        {QStringLiteral("pin"), QStringLiteral("pin")},
        {QStringLiteral("pin.slash"), QStringLiteral("pin-off")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("rotate-cw")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("triangle-alert")},
        {QStringLiteral("lock.shield.fill"), QStringLiteral("shield-alert")},
        {QStringLiteral("checkmark"), QStringLiteral("check")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("circle-check")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("circle-x")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("copy")},
        {QStringLiteral("doc.on.doc.fill"), QStringLiteral("copy")},
        {QStringLiteral("link"), QStringLiteral("link")},
        {QStringLiteral("photo"), QStringLiteral("image")},
        {QStringLiteral("folder"), QStringLiteral("folder")},
        {QStringLiteral("photo.on.rectangle.angled"), QStringLiteral("images")},
        {QStringLiteral("crop"), QStringLiteral("crop")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("search")},
        {QStringLiteral("mic"), QStringLiteral("mic")},
        {QStringLiteral("play.fill"), QStringLiteral("play")},
        {QStringLiteral("play.circle.fill"), QStringLiteral("circle-play")},
        {QStringLiteral("stop.fill"), QStringLiteral("square")},
        {QStringLiteral("stop.circle.fill"), QStringLiteral("circle-stop")},
        {QStringLiteral("video"), QStringLiteral("video")},
        {QStringLiteral("video.fill"), QStringLiteral("video")},
        {QStringLiteral("speaker.wave.2"), QStringLiteral("volume-2")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("download")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("share")},
        {QStringLiteral("arrow.up.circle"), QStringLiteral("circle-arrow-up")},
        {QStringLiteral("arrow.up.circle.fill"), QStringLiteral("circle-arrow-up")},
        {QStringLiteral("trash"), QStringLiteral("trash-2")},
        {QStringLiteral("xmark"), QStringLiteral("x")},
        {QStringLiteral("info.circle"), QStringLiteral("info")},
        {QStringLiteral("gearshape"), QStringLiteral("settings")},
        {QStringLiteral("gearshape.fill"), QStringLiteral("settings")},
        {QStringLiteral("keyboard"), QStringLiteral("keyboard")},
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("undo-2")},
        {QStringLiteral("arrow.uturn.forward"), QStringLiteral("redo-2")},
        {QStringLiteral("arrow.up.and.down.and.arrow.left.and.right"), QStringLiteral("move")},
        {QStringLiteral("arrow.up.right"), QStringLiteral("arrow-up-right")},
        {QStringLiteral("line.diagonal"), QStringLiteral("slash")},
        {QStringLiteral("pencil.tip"), QStringLiteral("pencil")},
        {QStringLiteral("scribble.variable"), QStringLiteral("pen-tool")},
        {QStringLiteral("drop.fill"), QStringLiteral("droplet")},
        {QStringLiteral("flashlight.off.fill"), QStringLiteral("flashlight-off")},
        {QStringLiteral("squareshape.split.3x3"), QStringLiteral("grid-3x3")},
        {QStringLiteral("chevron.down"), QStringLiteral("chevron-down")},
        {QStringLiteral("cursorarrow.click"), QStringLiteral("mouse-pointer-click")},
        {QStringLiteral("cursorarrow"), QStringLiteral("mouse-pointer-2")},
        {QStringLiteral("rectangle"), QStringLiteral("square")},
        {QStringLiteral("circle"), QStringLiteral("circle")},
        {QStringLiteral("highlighter"), QStringLiteral("highlighter")},
        {QStringLiteral("textformat"), QStringLiteral("type")},
        // Drawn for Zorv in the set's style: the set has no numbered circle.
        {QStringLiteral("1.circle"), QStringLiteral("circle-one")},
    };
    return names;
}
} // namespace

bool contains(const QString &symbol)
{
    return table().contains(symbol);
}

QPixmap pixmap(const QString &symbol, int size, const QColor &color, qreal devicePixelRatio)
{
    const QString file = table().value(symbol);
    if (file.isEmpty())
        return {};
    // The icons live in the static core library, whose resources are not
    // registered on their own.
    static const bool registered = (registerIconResources(), true);
    Q_UNUSED(registered);
    QFile svg(QStringLiteral(":/icons/%1.svg").arg(file));
    if (!svg.open(QIODevice::ReadOnly))
        return {};
    // The icons stroke with currentColor; paint them in the caller's colour.
    QByteArray data = svg.readAll();
    data.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    if (symbol.endsWith(QLatin1String(".fill")))
        data.replace("stroke-width=\"2\"", "stroke-width=\"2.5\"");
    QSvgRenderer renderer(data);
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap result(pixels, pixels);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon icon(const QString &symbol, const QColor &color)
{
    QIcon result;
    for (int size : {16, 24, 32, 48})
        result.addPixmap(pixmap(symbol, size, color));
    return result;
}

} // namespace zorv::Symbols
