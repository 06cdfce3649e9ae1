#pragma once

#include <QString>

namespace zorv
{

// Background failures are reported as one line that starts with "Zorv: ".
// There are no log levels.
void logLine(const QString &text);

// From now on log lines, and Qt's own messages, go to `path` instead of
// standard error (for an instance started in the background, whose standard
// error nobody reads). The file is kept small: past maxLogBytes it moves to
// `path`.1, replacing an older one. False when the file cannot be opened; the
// log then stays on standard error.
bool logToFile(const QString &path);
constexpr qint64 maxLogBytes = 1024 * 1024;

// $XDG_STATE_HOME/Zorv/zorv.log (~/.local/state/Zorv/zorv.log).
QString defaultLogFile();

} // namespace zorv
