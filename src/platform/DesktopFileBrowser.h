#pragma once

#include "platform/FileBrowser.h"

#include <QUrl>
#include <functional>

namespace zorv
{

// Default applications through the desktop's URL handler (xdg-open), the file
// manager through its freedesktop D-Bus interface (org.freedesktop.FileManager1).
class DesktopFileBrowser : public FileBrowser
{
  public:
    using OpenUrl = std::function<bool(const QUrl &)>;
    // `openUrl` defaults to QDesktopServices::openUrl.
    explicit DesktopFileBrowser(OpenUrl openUrl = {});

    bool open(const QString &path) override;
    void reveal(const QString &path) override;

  private:
    OpenUrl m_openUrl;
};

} // namespace zorv
