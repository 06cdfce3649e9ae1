#pragma once

#include <QList>
#include <QStringList>

namespace zorv
{

// Modules are libraries Zorv loads on first use rather than at start, so that
// what they bring (codecs, sound server clients) costs nothing until needed.

// Where modules are looked for, in order: $ZORV_MODULE_DIR, then beside the
// executable, ../lib/zorv (installed) and .. (tests and benchmarks in the build
// tree). No build path is compiled in.
QStringList moduleFolders();

// The addresses of `symbols` in the first module `name` (e.g. "libzorv-heif")
// found that exports them all, in the order asked. Empty when none does, after
// one log line "<what> unavailable: <reason>". A loaded module stays loaded.
QList<QFunctionPointer> loadModule(const QString &name, const QStringList &symbols,
                                   const QString &what);

} // namespace zorv
