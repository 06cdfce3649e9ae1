#include "common/KeyCombo.h"

#include <QJsonDocument>
#include <array>
#include <linux/input-event-codes.h>

namespace zorv
{
namespace
{

struct KeyRow {
    uint32_t code;  // Zorv's portable code
    uint32_t evdev; // the physical key
    const char *name;
};

// The classic position-based table. Names are those shown to the user.
constexpr std::array<KeyRow, 81> classicKeys{{
    {0, KEY_A, "A"},          {11, KEY_B, "B"},          {8, KEY_C, "C"},
    {2, KEY_D, "D"},          {14, KEY_E, "E"},          {3, KEY_F, "F"},
    {5, KEY_G, "G"},          {4, KEY_H, "H"},           {34, KEY_I, "I"},
    {38, KEY_J, "J"},         {40, KEY_K, "K"},          {37, KEY_L, "L"},
    {46, KEY_M, "M"},         {45, KEY_N, "N"},          {31, KEY_O, "O"},
    {35, KEY_P, "P"},         {12, KEY_Q, "Q"},          {15, KEY_R, "R"},
    {1, KEY_S, "S"},          {17, KEY_T, "T"},          {32, KEY_U, "U"},
    {9, KEY_V, "V"},          {13, KEY_W, "W"},          {7, KEY_X, "X"},
    {16, KEY_Y, "Y"},         {6, KEY_Z, "Z"},           {29, KEY_0, "0"},
    {18, KEY_1, "1"},         {19, KEY_2, "2"},          {20, KEY_3, "3"},
    {21, KEY_4, "4"},         {23, KEY_5, "5"},          {22, KEY_6, "6"},
    {26, KEY_7, "7"},         {28, KEY_8, "8"},          {25, KEY_9, "9"},
    {41, KEY_SEMICOLON, ";"}, {39, KEY_APOSTROPHE, "'"}, {43, KEY_COMMA, ","},
    {47, KEY_DOT, "."},       {44, KEY_SLASH, "/"},      {42, KEY_BACKSLASH, "\\"},
    {33, KEY_LEFTBRACE, "["}, {30, KEY_RIGHTBRACE, "]"}, {27, KEY_MINUS, "-"},
    {24, KEY_EQUAL, "="},     {50, KEY_GRAVE, "`"},      {49, KEY_SPACE, "Space"},
    {36, KEY_ENTER, "↩"},     {48, KEY_TAB, "⇥"},        {51, KEY_BACKSPACE, "⌫"},
    {117, KEY_DELETE, "⌦"},   {53, KEY_ESC, "⎋"},        {123, KEY_LEFT, "←"},
    {124, KEY_RIGHT, "→"},    {126, KEY_UP, "↑"},        {125, KEY_DOWN, "↓"},
    {115, KEY_HOME, "↖"},     {119, KEY_END, "↘"},       {116, KEY_PAGEUP, "⇞"},
    {121, KEY_PAGEDOWN, "⇟"}, {122, KEY_F1, "F1"},       {120, KEY_F2, "F2"},
    {99, KEY_F3, "F3"},       {118, KEY_F4, "F4"},       {96, KEY_F5, "F5"},
    {97, KEY_F6, "F6"},       {98, KEY_F7, "F7"},        {100, KEY_F8, "F8"},
    {101, KEY_F9, "F9"},      {109, KEY_F10, "F10"},     {103, KEY_F11, "F11"},
    {111, KEY_F12, "F12"},    {105, KEY_F13, "F13"},     {107, KEY_F14, "F14"},
    {113, KEY_F15, "F15"},    {106, KEY_F16, "F16"},     {64, KEY_F17, "F17"},
    {79, KEY_F18, "F18"},     {80, KEY_F19, "F19"},      {90, KEY_F20, "F20"},
}};

// Keys a PC keyboard has beyond the classic table, stored as extendedKeyBase + evdev.
struct ExtraKey {
    uint32_t evdev;
    const char *name;
};
constexpr std::array<ExtraKey, 22> extraKeys{{
    {KEY_SYSRQ, "Print"},      {KEY_PAUSE, "Pause"},          {KEY_SCROLLLOCK, "Scroll Lock"},
    {KEY_COMPOSE, "Menu"},     {KEY_INSERT, "Insert"},        {KEY_KP0, "Keypad 0"},
    {KEY_KP1, "Keypad 1"},     {KEY_KP2, "Keypad 2"},         {KEY_KP3, "Keypad 3"},
    {KEY_KP4, "Keypad 4"},     {KEY_KP5, "Keypad 5"},         {KEY_KP6, "Keypad 6"},
    {KEY_KP7, "Keypad 7"},     {KEY_KP8, "Keypad 8"},         {KEY_KP9, "Keypad 9"},
    {KEY_KPDOT, "Keypad ."},   {KEY_KPENTER, "Keypad Enter"}, {KEY_KPPLUS, "Keypad +"},
    {KEY_KPMINUS, "Keypad -"}, {KEY_KPASTERISK, "Keypad *"},  {KEY_KPSLASH, "Keypad /"},
    {KEY_102ND, "<>"},
}};

const KeyRow *classicRow(uint32_t code)
{
    for (const auto &row : classicKeys) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

const ExtraKey *extraRow(uint32_t evdev)
{
    for (const auto &row : extraKeys) {
        if (row.evdev == evdev)
            return &row;
    }
    return nullptr;
}

std::optional<uint32_t> readUInt32(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > 4294967295.0 ||
        number != static_cast<double>(static_cast<uint64_t>(number)))
        return std::nullopt;
    return static_cast<uint32_t>(number);
}

} // namespace

QString KeyCombo::keyName(uint32_t code)
{
    if (const KeyRow *row = classicRow(code))
        return QString::fromUtf8(row->name);
    if (code >= extendedKeyBase) {
        if (const ExtraKey *row = extraRow(code - extendedKeyBase))
            return QString::fromUtf8(row->name);
    }
    return QStringLiteral("Key") + QString::number(code);
}

QString KeyCombo::displayString() const
{
    // Linux labels, in the fixed order Control, Option (Alt), Shift, Command (Super).
    QString text;
    if (modifiers & control)
        text += QStringLiteral("Ctrl+");
    if (modifiers & option)
        text += QStringLiteral("Alt+");
    if (modifiers & shift)
        text += QStringLiteral("Shift+");
    if (modifiers & command)
        text += QStringLiteral("Super+");
    return text + keyName(keyCode);
}

QJsonObject KeyCombo::toJson() const
{
    return QJsonObject{{QStringLiteral("keyCode"), static_cast<double>(keyCode)},
                       {QStringLiteral("modifiers"), static_cast<double>(modifiers)}};
}

std::optional<KeyCombo> KeyCombo::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto code = readUInt32(object.value(QStringLiteral("keyCode")));
    const auto mods = readUInt32(object.value(QStringLiteral("modifiers")));
    if (!code || !mods)
        return std::nullopt;
    return KeyCombo{*code, *mods};
}

std::optional<uint32_t> KeyCombo::evdevCode(uint32_t code)
{
    if (const KeyRow *row = classicRow(code))
        return row->evdev;
    if (code >= extendedKeyBase && extraRow(code - extendedKeyBase))
        return code - extendedKeyBase;
    return std::nullopt;
}

std::optional<uint32_t> KeyCombo::keyCodeForEvdev(uint32_t evdev)
{
    for (const auto &row : classicKeys) {
        if (row.evdev == evdev)
            return row.code;
    }
    if (extraRow(evdev))
        return extendedKeyBase + evdev;
    return std::nullopt;
}

} // namespace zorv
