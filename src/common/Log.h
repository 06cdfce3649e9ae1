#pragma once

#include <QString>

namespace zorv
{

// Background failures are reported as one line on standard error that starts
// with "Zorv: ". There are no log levels.
void logLine(const QString &text);

} // namespace zorv
