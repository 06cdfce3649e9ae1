#include "common/Log.h"

#include <cstdio>

namespace zorv
{

void logLine(const QString &text)
{
    const QByteArray line = (QStringLiteral("Zorv: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace zorv
