#pragma once

#include <QDateTime>
#include <QString>

namespace zorv
{

// Builds capture file names from the user's template.
namespace Naming
{

// "{date}" → yyyy-MM-dd, "{time}" → HH.mm.ss (local time), "{timestamp}" →
// seconds since 1970. Characters that file systems or file managers reject, and
// control characters, are replaced by "-", as are leading dots (no hidden
// files). A name too long for the file system is shortened, keeping its
// extension and room for a uniqueness suffix.
QString fileName(const QString &nameTemplate, const QDateTime &date, const QString &ext);

// Longest file name, in UTF-8 bytes, that Linux file systems accept.
constexpr int maxFileNameBytes = 255;

} // namespace Naming
} // namespace zorv
