#include "common/CaptureTypes.h"

#include "common/PlatformTexts.h"

namespace zorv
{

QString WindowInfo::displayName() const
{
    if (!title.isEmpty() && !appName.isEmpty())
        return appName + QStringLiteral(" — ") + title;
    return title.isEmpty() ? appName : title;
}

QString CaptureError::description() const
{
    switch (m_code) {
    case Code::permissionDenied:
        return PlatformTexts::screenRecordingPermissionDenied();
    case Code::noDisplay:
        return QStringLiteral("No display available to capture.");
    case Code::noWindow:
        return QStringLiteral("That window is no longer available.");
    case Code::imageUnavailable:
        return QStringLiteral("The capture returned no image.");
    case Code::cancelled:
        return QStringLiteral("Capture cancelled.");
    case Code::platform:
        return m_platformMessage;
    }
    return {};
}

} // namespace zorv
