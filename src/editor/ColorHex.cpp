#include "editor/ColorHex.h"

#include <algorithm>
#include <cmath>

namespace zorv::colorHex
{

namespace
{
int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
} // namespace

std::optional<QColor> parse(const QString &text)
{
    QStringView digits = QStringView(text).trimmed();
    if (digits.startsWith(u'#'))
        digits = digits.mid(1);
    if (digits.size() != 6 && digits.size() != 8)
        return std::nullopt;
    // Digits are checked one by one: a general number parser would also take
    // signs or a "0x" prefix.
    quint64 value = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + quint64(d);
    }
    auto byte = [value](int shift) { return int((value >> shift) & 0xFF); };
    if (digits.size() == 6)
        return QColor(byte(16), byte(8), byte(0), 255);
    return QColor(byte(24), byte(16), byte(8), byte(0));
}

QString format(const QColor &color)
{
    if (!color.isValid())
        return QStringLiteral("#000000");
    const QColor rgb = color.toRgb();
    auto component = [](float value) {
        return std::clamp(int(std::round(double(value) * 255.0)), 0, 255);
    };
    return QString::asprintf("#%02X%02X%02X", component(rgb.redF()), component(rgb.greenF()),
                             component(rgb.blueF()));
}

QColor standardRed()
{
    return QColor(0xFF, 0x3B, 0x30);
}

QColor parseOrRed(const QString &text)
{
    return parse(text).value_or(standardRed());
}

} // namespace zorv::colorHex
