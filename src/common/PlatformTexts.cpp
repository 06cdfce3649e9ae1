#include "common/PlatformTexts.h"

namespace zorv::PlatformTexts
{

QString aboutLine()
{
    return QStringLiteral("A native screenshot and recording studio for Linux.");
}

QString screenRecordingPermissionDenied()
{
    // On X11 no permission is needed; on Wayland the desktop portal grants it.
    return QStringLiteral("Zorv needs Screen Recording permission. Grant it in the desktop's "
                          "screen sharing settings.");
}

QString showInFileManager()
{
    return QStringLiteral("Show in File Manager");
}

QString folderTile()
{
    return QStringLiteral("Folder");
}

QString statusItemHint()
{
    return QStringLiteral("Zorv lives in your system tray — the viewfinder icon.");
}

QString revealInFileManager()
{
    return QStringLiteral("Reveal in File Manager");
}

QString historyEmptyHint()
{
    // Fixed text: it names the area shortcut as shipped, whatever it is bound to now.
    return QStringLiteral("Use Ctrl+Shift+4 to capture an area.");
}

QString screenNoLongerShared()
{
    return QStringLiteral("the screen is no longer shared");
}

} // namespace zorv::PlatformTexts
