#pragma once

#include <QString>

namespace zorv
{

// The user-facing texts that would name another desktop's things, rewritten
// for Linux. Every such text is kept here, in one place.
namespace PlatformTexts
{
QString aboutLine();                       // "A native screenshot and recording studio for Linux."
QString screenRecordingPermissionDenied(); // capture refused by the desktop
QString showInFileManager();               // "Show in File Manager"
QString folderTile();                      // "Folder"
QString statusItemHint();                  // where Zorv lives
QString revealInFileManager();             // "Reveal in File Manager"
QString historyEmptyHint();                // "Use Ctrl+Shift+4 to capture an area."
// Why a recording stopped when the desktop stopped sharing its screen; a frame grabber's
// reason that the user is told as it is.
QString screenNoLongerShared();
} // namespace PlatformTexts

} // namespace zorv
