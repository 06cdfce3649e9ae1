#pragma once

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <cstdint>
#include <optional>

namespace zorv
{

enum class CaptureAction : int;
struct KeyCombo;
// The shortcut of each action.
using HotKeyMap = QMap<CaptureAction, KeyCombo>;

// One shortcut: a position-based key code and a modifier mask. The codes are
// Zorv's own portable codes (stored in the settings); keys outside the classic
// table are stored as extendedKeyBase + their Linux evdev code.
struct KeyCombo {
    static constexpr uint32_t command = 0x100;
    static constexpr uint32_t shift = 0x200;
    static constexpr uint32_t option = 0x800;
    static constexpr uint32_t control = 0x1000;
    static constexpr uint32_t extendedKeyBase = 0x10000;

    uint32_t keyCode = 0;
    uint32_t modifiers = 0;

    friend bool operator==(const KeyCombo &, const KeyCombo &) = default;

    // Modifiers in the order Ctrl, Alt, Shift, Super, then the key's name
    // ("Ctrl+Shift+4").
    QString displayString() const;
    static QString keyName(uint32_t code);

    QJsonObject toJson() const;
    // Both members are required and must be unsigned 32-bit integers.
    static std::optional<KeyCombo> fromJson(const QJsonValue &value);

    // Mapping to and from the physical key (Linux evdev code); nullopt when the
    // code names no key Zorv knows.
    static std::optional<uint32_t> evdevCode(uint32_t keyCode);
    static std::optional<uint32_t> keyCodeForEvdev(uint32_t evdev);

    // Every action's default shortcut (CaptureAction.cpp).
    static const HotKeyMap &defaults();
};

inline size_t qHash(const KeyCombo &combo, size_t seed = 0)
{
    return ::qHash(combo.keyCode, seed) ^ ::qHash(combo.modifiers, seed + 1);
}

} // namespace zorv
