#pragma once

#include "common/Capabilities.h"
#include "common/KeyCombo.h"

#include <QList>
#include <QString>
#include <optional>

namespace zorv
{

// The nine user commands. Raw values equal the case names; they are what the
// settings store and the command line use.
enum class CaptureAction : int {
    area,
    window,
    fullScreen,
    scrolling,
    recordVideo,
    recordGIF,
    ocr,
    pinLast,
    repeatLastArea,
};

// Everything the program says about one action, declared once (CaptureAction.cpp)
// and read by the command line, the hot keys, and every window that lists actions.
struct ActionInfo {
    CaptureAction action;
    QString rawValue;
    QString title;
    QString symbol;
    KeyCombo defaultShortcut;
    // The capability the action cannot do without, if any.
    bool PlatformCapabilities::*needs = nullptr;
    // False until this version of Zorv carries the action out.
    bool built = true;
};

namespace captureAction
{
const QList<CaptureAction> &all();
const ActionInfo &info(CaptureAction action);
QString rawValue(CaptureAction action);
std::optional<CaptureAction> fromRawValue(const QString &raw);
QString title(CaptureAction action);
QString symbol(CaptureAction action);

// Why the action cannot run on a backend with these capabilities; nullopt when it can.
std::optional<QString> unavailableReason(CaptureAction action,
                                         const PlatformCapabilities &capabilities);
QList<CaptureAction> available(const PlatformCapabilities &capabilities);
// Why recordings cannot mark clicks on such a backend; nullopt when they can.
std::optional<QString> clicksUnavailableReason(const PlatformCapabilities &capabilities);
} // namespace captureAction

// The persisted form of the shortcut map: a JSON object keyed by action raw value.
QByteArray encodeHotKeys(const HotKeyMap &map);
// Members that are not actions are dropped and the defaults fill the gaps;
// data that do not decode give nullopt.
std::optional<HotKeyMap> decodeHotKeys(const QByteArray &data);

} // namespace zorv
