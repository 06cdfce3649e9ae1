#pragma once

#include <QString>

namespace zorv
{

// The desktop's file handling: default applications and the file manager.
class FileBrowser
{
  public:
    virtual ~FileBrowser() = default;
    // Opens a file or folder with the user's default application; false when
    // nothing could take it.
    virtual bool open(const QString &path) = 0;
    // Shows the file selected in the file manager; where no file manager
    // answers, opens the folder that holds it.
    virtual void reveal(const QString &path) = 0;
};

} // namespace zorv
