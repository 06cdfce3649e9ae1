#pragma once

#include "common/Expected.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <variant>

namespace zorv
{

// A display, with its frame in global logical coordinates (Qt's, y down).
struct DisplayInfo {
    uint32_t id = 0;
    QRectF frame;
    friend bool operator==(const DisplayInfo &, const DisplayInfo &) = default;
};

// A window that can be captured, in global logical coordinates.
struct WindowInfo {
    uint32_t id = 0;
    QRectF frame;
    QString title;
    QString appName;
    int32_t pid = 0;
    int layer = 0;

    // "App — Title", or whichever of the two is non-empty.
    QString displayName() const;
    friend bool operator==(const WindowInfo &, const WindowInfo &) = default;
};

// Capture failures. `platform` carries the platform's own message, shown as is.
class CaptureError
{
  public:
    enum class Code {
        permissionDenied,
        noDisplay,
        noWindow,
        imageUnavailable,
        cancelled,
        platform
    };

    CaptureError(Code code, QString platformMessage = {})
        : m_code(code), m_platformMessage(std::move(platformMessage))
    {
    }
    Code code() const { return m_code; }
    QString description() const;
    friend bool operator==(const CaptureError &, const CaptureError &) = default;

  private:
    Code m_code;
    QString m_platformMessage;
};

// A value, or the capture error that prevented it.
template <typename T> using CaptureExpected = Expected<T, CaptureError>;

using CaptureResult = CaptureExpected<QImage>;

} // namespace zorv
