#pragma once

#include <QString>
#include <optional>

namespace zorv
{

// What a capture produced. Persisted as the raw value (for example in the
// history index).
enum class CaptureKind { screenshot, scrolling, recording, gif };

namespace captureKind
{
QString rawValue(CaptureKind kind);
std::optional<CaptureKind> fromRawValue(const QString &raw);
} // namespace captureKind

} // namespace zorv
