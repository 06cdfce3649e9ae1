#include "common/KeptBuffers.h"

#include <QByteArray>
#include <QtGlobal>

namespace zorv
{

int keptBuffersMs()
{
    constexpr int fiveMinutes = 5 * 60 * 1000;
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZORV_KEEP_MS", &ok);
    return ok && ms > 0 ? ms : fiveMinutes;
}

} // namespace zorv
