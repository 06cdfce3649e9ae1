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
} // namespace PlatformTexts

} // namespace zorv
