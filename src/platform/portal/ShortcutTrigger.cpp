#include "platform/portal/ShortcutTrigger.h"

#include <QStringList>
#include <array>
#include <linux/input-event-codes.h>

namespace zorv
{
namespace
{

struct KeySym {
    uint32_t evdev;
    const char *name; // xkb keysym of the key without modifiers, US layout
};

// Letters and digits are their own keysym names and are handled apart.
constexpr std::array<KeySym, 67> namedKeys{{
    {KEY_SEMICOLON, "semicolon"},
    {KEY_APOSTROPHE, "apostrophe"},
    {KEY_COMMA, "comma"},
    {KEY_DOT, "period"},
    {KEY_SLASH, "slash"},
    {KEY_BACKSLASH, "backslash"},
    {KEY_LEFTBRACE, "bracketleft"},
    {KEY_RIGHTBRACE, "bracketright"},
    {KEY_MINUS, "minus"},
    {KEY_EQUAL, "equal"},
    {KEY_GRAVE, "grave"},
    {KEY_SPACE, "space"},
    {KEY_ENTER, "Return"},
    {KEY_TAB, "Tab"},
    {KEY_BACKSPACE, "BackSpace"},
    {KEY_DELETE, "Delete"},
    {KEY_ESC, "Escape"},
    {KEY_LEFT, "Left"},
    {KEY_RIGHT, "Right"},
    {KEY_UP, "Up"},
    {KEY_DOWN, "Down"},
    {KEY_HOME, "Home"},
    {KEY_END, "End"},
    {KEY_PAGEUP, "Page_Up"},
    {KEY_PAGEDOWN, "Page_Down"},
    {KEY_F1, "F1"},
    {KEY_F2, "F2"},
    {KEY_F3, "F3"},
    {KEY_F4, "F4"},
    {KEY_F5, "F5"},
    {KEY_F6, "F6"},
    {KEY_F7, "F7"},
    {KEY_F8, "F8"},
    {KEY_F9, "F9"},
    {KEY_F10, "F10"},
    {KEY_F11, "F11"},
    {KEY_F12, "F12"},
    {KEY_F13, "F13"},
    {KEY_F14, "F14"},
    {KEY_F15, "F15"},
    {KEY_F16, "F16"},
    {KEY_F17, "F17"},
    {KEY_F18, "F18"},
    {KEY_F19, "F19"},
    {KEY_F20, "F20"},
    {KEY_SYSRQ, "Print"},
    {KEY_PAUSE, "Pause"},
    {KEY_SCROLLLOCK, "Scroll_Lock"},
    {KEY_COMPOSE, "Menu"},
    {KEY_INSERT, "Insert"},
    {KEY_KP0, "KP_0"},
    {KEY_KP1, "KP_1"},
    {KEY_KP2, "KP_2"},
    {KEY_KP3, "KP_3"},
    {KEY_KP4, "KP_4"},
    {KEY_KP5, "KP_5"},
    {KEY_KP6, "KP_6"},
    {KEY_KP7, "KP_7"},
    {KEY_KP8, "KP_8"},
    {KEY_KP9, "KP_9"},
    {KEY_KPDOT, "KP_Decimal"},
    {KEY_KPENTER, "KP_Enter"},
    {KEY_KPPLUS, "KP_Add"},
    {KEY_KPMINUS, "KP_Subtract"},
    {KEY_KPASTERISK, "KP_Multiply"},
    {KEY_KPSLASH, "KP_Divide"},
    {KEY_102ND, "less"},
}};
// Other names of the same keysyms.
constexpr std::array<KeySym, 2> aliases{{{KEY_PAGEUP, "Prior"}, {KEY_PAGEDOWN, "Next"}}};

constexpr std::array<uint32_t, 26> letters{
    KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
constexpr std::array<uint32_t, 10> digits{KEY_0, KEY_1, KEY_2, KEY_3, KEY_4,
                                          KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};

struct Modifier {
    uint32_t bit;
    const char *name;
};
// The order in which the trigger names them.
constexpr std::array<Modifier, 4> modifierNames{{{KeyCombo::control, "CTRL"},
                                                 {KeyCombo::option, "ALT"},
                                                 {KeyCombo::shift, "SHIFT"},
                                                 {KeyCombo::command, "LOGO"}}};

std::optional<QString> keysymName(uint32_t evdev)
{
    for (size_t i = 0; i < letters.size(); ++i) {
        if (letters[i] == evdev)
            return QString(QChar(u'a' + char16_t(i)));
    }
    for (size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] == evdev)
            return QString(QChar(u'0' + char16_t(i)));
    }
    for (const auto &row : namedKeys) {
        if (row.evdev == evdev)
            return QString::fromLatin1(row.name);
    }
    return std::nullopt;
}

std::optional<uint32_t> evdevForKeysym(const QString &name)
{
    if (name.size() == 1) {
        const char16_t c = name.at(0).toLower().unicode();
        if (c >= u'a' && c <= u'z')
            return letters[c - u'a'];
        if (c >= u'0' && c <= u'9')
            return digits[c - u'0'];
    }
    for (const auto &row : namedKeys) {
        if (name.compare(QLatin1String(row.name), Qt::CaseInsensitive) == 0)
            return row.evdev;
    }
    for (const auto &row : aliases) {
        if (name.compare(QLatin1String(row.name), Qt::CaseInsensitive) == 0)
            return row.evdev;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> portalTrigger(const KeyCombo &combo)
{
    const auto evdev = KeyCombo::evdevCode(combo.keyCode);
    const auto key = evdev ? keysymName(*evdev) : std::nullopt;
    if (!key)
        return std::nullopt;
    QString text;
    for (const Modifier &m : modifierNames) {
        if (combo.modifiers & m.bit)
            text += QLatin1String(m.name) + u'+';
    }
    return text + *key;
}

std::optional<KeyCombo> comboFromPortalTrigger(const QString &trigger)
{
    const QStringList parts = trigger.trimmed().split(u'+');
    if (parts.isEmpty() || parts.contains(QString()))
        return std::nullopt;
    KeyCombo combo;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        uint32_t bit = 0;
        for (const Modifier &m : modifierNames) {
            if (parts[i].compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0)
                bit = m.bit;
        }
        if (bit == 0 || (combo.modifiers & bit))
            return std::nullopt;
        combo.modifiers |= bit;
    }
    const auto evdev = evdevForKeysym(parts.constLast());
    const auto code = evdev ? KeyCombo::keyCodeForEvdev(*evdev) : std::nullopt;
    if (!code)
        return std::nullopt;
    combo.keyCode = *code;
    return combo;
}

} // namespace zorv
