#include "common/CaptureAction.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace zorv
{
namespace
{

constexpr uint32_t controlShift = KeyCombo::control | KeyCombo::shift;

const QList<ActionInfo> &registry()
{
    using Caps = PlatformCapabilities;
    static const QList<ActionInfo> rows{
        {CaptureAction::area,
         QStringLiteral("area"),
         QStringLiteral("Capture Area"),
         QStringLiteral("rectangle.dashed"),
         {21, controlShift}},
        {CaptureAction::window,
         QStringLiteral("window"),
         QStringLiteral("Capture Window"),
         QStringLiteral("macwindow"),
         {23, controlShift},
         &Caps::windowCapture},
        {CaptureAction::fullScreen,
         QStringLiteral("fullScreen"),
         QStringLiteral("Capture Full Screen"),
         QStringLiteral("rectangle.inset.filled"),
         {20, controlShift}},
        {CaptureAction::scrolling,
         QStringLiteral("scrolling"),
         QStringLiteral("Scrolling Capture"),
         QStringLiteral("scroll"),
         {22, controlShift},
         &Caps::ownWindowsLeftOut},
        {CaptureAction::recordVideo,
         QStringLiteral("recordVideo"),
         QStringLiteral("Record Screen"),
         QStringLiteral("record.circle"),
         {26, controlShift},
         &Caps::recording},
        {CaptureAction::recordGIF,
         QStringLiteral("recordGIF"),
         QStringLiteral("Record GIF"),
         QStringLiteral("square.stack.3d.down.right"),
         {28, controlShift},
         &Caps::recording},
        {CaptureAction::ocr,
         QStringLiteral("ocr"),
         QStringLiteral("Capture Text (OCR)"),
         QStringLiteral("text.viewfinder"),
         {25, controlShift}},
        {CaptureAction::pinLast,
         QStringLiteral("pinLast"),
         QStringLiteral("Pin Last Capture"),
         QStringLiteral("pin"),
         {35, controlShift}},
        {CaptureAction::repeatLastArea,
         QStringLiteral("repeatLastArea"),
         QStringLiteral("Repeat Last Area"),
         QStringLiteral("arrow.clockwise"),
         {15, controlShift}},
    };
    return rows;
}

QString missingCapabilityText(bool PlatformCapabilities::*needs)
{
    if (needs == &PlatformCapabilities::windowCapture)
        return QStringLiteral("this desktop does not let Zorv capture single windows");
    if (needs == &PlatformCapabilities::windowList)
        return QStringLiteral("this desktop does not tell Zorv which windows are open");
    if (needs == &PlatformCapabilities::recording)
        return QStringLiteral("this desktop does not let Zorv record the screen");
    if (needs == &PlatformCapabilities::ownWindowsLeftOut)
        return QStringLiteral("this desktop shows Zorv's own panel in the pictures it gives, "
                              "which would spoil the stitched image");
    if (needs == &PlatformCapabilities::systemAudio)
        return QStringLiteral("this desktop does not let Zorv record its sound");
    return QStringLiteral("this desktop does not support it");
}

} // namespace

namespace captureAction
{
const QList<CaptureAction> &all()
{
    static const QList<CaptureAction> cases = [] {
        QList<CaptureAction> list;
        for (const ActionInfo &row : registry())
            list.append(row.action);
        return list;
    }();
    return cases;
}

const ActionInfo &info(CaptureAction action)
{
    return registry()[static_cast<qsizetype>(action)];
}

QString rawValue(CaptureAction action)
{
    return info(action).rawValue;
}

std::optional<CaptureAction> fromRawValue(const QString &raw)
{
    for (const ActionInfo &row : registry()) {
        if (row.rawValue == raw)
            return row.action;
    }
    return std::nullopt;
}

QString title(CaptureAction action)
{
    return info(action).title;
}

QString symbol(CaptureAction action)
{
    return info(action).symbol;
}

std::optional<QString> unavailableReason(CaptureAction action,
                                         const PlatformCapabilities &capabilities)
{
    const ActionInfo &row = info(action);
    if (!row.built)
        return QStringLiteral("not available in this version of Zorv yet");
    if (row.needs && !(capabilities.*row.needs))
        return missingCapabilityText(row.needs);
    return std::nullopt;
}

QList<CaptureAction> available(const PlatformCapabilities &capabilities)
{
    QList<CaptureAction> list;
    for (CaptureAction action : all()) {
        if (!unavailableReason(action, capabilities))
            list.append(action);
    }
    return list;
}

std::optional<QString> clicksUnavailableReason(const PlatformCapabilities &capabilities)
{
    if (capabilities.clickCapture)
        return std::nullopt;
    return QStringLiteral("this desktop does not let Zorv see clicks in other programs");
}
} // namespace captureAction

const HotKeyMap &KeyCombo::defaults()
{
    static const HotKeyMap table = [] {
        HotKeyMap map;
        for (const ActionInfo &row : registry())
            map.insert(row.action, row.defaultShortcut);
        return map;
    }();
    return table;
}

QByteArray encodeHotKeys(const HotKeyMap &map)
{
    QJsonObject object;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        object.insert(captureAction::rawValue(it.key()), it.value().toJson());
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<HotKeyMap> decodeHotKeys(const QByteArray &data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    HotKeyMap map;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        // Every member must decode as a combination, or the whole map is refused.
        const auto combo = KeyCombo::fromJson(it.value());
        if (!combo)
            return std::nullopt;
        if (const auto action = captureAction::fromRawValue(it.key()))
            map.insert(*action, *combo);
    }
    for (auto it = KeyCombo::defaults().cbegin(); it != KeyCombo::defaults().cend(); ++it) {
        if (!map.contains(it.key()))
            map.insert(it.key(), it.value());
    }
    return map;
}

} // namespace zorv
