#include "output/Naming.h"

#include <QLocale>

namespace zorv::Naming
{

namespace
{
// Bytes kept free for the " 2", " 3", … that makes a name unique in its folder.
constexpr int uniquenessReserve = 8;

QString shortenToBytes(QString text, int maxBytes)
{
    while (!text.isEmpty() && text.toUtf8().size() > maxBytes) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
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
        if (reserved.contains(c) || c == QChar(0))
            c = QLatin1Char('-');
    }

    const QString suffix = QLatin1Char('.') + ext;
    const int room = maxFileNameBytes - uniquenessReserve - int(suffix.toUtf8().size());
    name = shortenToBytes(name, room);
    if (name.isEmpty())
        name = QStringLiteral("Zorv");
    return name + suffix;
}

} // namespace zorv::Naming
