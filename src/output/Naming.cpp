#include "output/Naming.h"

#include <QLocale>

namespace zorv::Naming
{

namespace
{
// Bytes kept free for the " 2", " 3", … that makes a name unique in its folder.
constexpr int uniquenessReserve = 8;

// UTF-8 length of the code point starting at text[i]; `units` gets its length
// in UTF-16 units. A lone surrogate counts as a three-byte replacement.
int utf8Length(const QString &text, qsizetype i, int &units)
{
    const char16_t c = text[i].unicode();
    units = 1;
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        units = 2;
        return 4;
    }
    return 3;
}

// The longest prefix of whole code points that fits in maxBytes of UTF-8.
QString shortenToBytes(const QString &text, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size();) {
        int units = 0;
        bytes += utf8Length(text, i, units);
        if (bytes > maxBytes)
            return text.left(i);
        i += units;
    }
    return text;
}

// C0 controls, DEL and C1 controls: newlines and tabs in names break scripts
// and file managers alike.
bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f);
}
} // namespace

QString fileName(const QString &nameTemplate, const QDateTime &date, const QString &ext)
{
    const QDateTime local = date.toLocalTime();
    const QLocale posix(QLocale::C);
    const QString dateText = posix.toString(local, QStringLiteral("yyyy-MM-dd"));
    const QString timeText = posix.toString(local, QStringLiteral("HH.mm.ss"));

    QString name = nameTemplate;
    name.replace(QStringLiteral("{date}"), dateText);
    name.replace(QStringLiteral("{time}"), timeText);
    name.replace(QStringLiteral("{timestamp}"), QString::number(date.toSecsSinceEpoch()));
    if (name.isEmpty())
        name = QStringLiteral("Zorv ") + dateText + QStringLiteral(" at ") + timeText;

    static const QString reserved = QStringLiteral("/:\\?%*|\"<>");
    for (QChar &c : name) {
        if (reserved.contains(c) || isControl(c))
            c = QLatin1Char('-');
    }
    // A leading dot would hide the capture ("." and ".." would give "..png").
    for (QChar &c : name) {
        if (c != QLatin1Char('.'))
            break;
        c = QLatin1Char('-');
    }

    const QString suffix = QLatin1Char('.') + ext;
    const qsizetype room = maxFileNameBytes - uniquenessReserve - suffix.toUtf8().size();
    name = shortenToBytes(name, room);
    if (name.isEmpty())
        name = QStringLiteral("Zorv");
    return name + suffix;
}

} // namespace zorv::Naming
