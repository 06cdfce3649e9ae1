#pragma once

#include "common/Expected.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusConnection>
#include <QImage>
#include <QStringList>
#include <functional>

namespace zorv
{

// Whether the portal's screenshot at `path` lies in one of the shared temporary folders
// (`temporaryFolders`, compared after resolving links), where the portal put it for us alone
// and where nobody else will clean it up. Elsewhere (a Pictures folder, the document portal)
// the file may be the user's.
bool isPortalScratchFile(const QString &path, const QStringList &temporaryFolders);
// The system's temporary folders, for isPortalScratchFile().
QStringList systemTemporaryFolders();

// A screenshot of all outputs through the Screenshot portal, without its dialog.
class ScreenshotPortal
{
  public:
    using Answer = std::function<void(Expected<QImage, PortalOutcome>)>;
    // `timeoutMs` leaves room for the permission dialog some portals show the first time.
    ScreenshotPortal(QDBusConnection bus, QString service, int timeoutMs);

    // Calls `answer` within `context` with the image, or why there is none. The file the
    // portal wrote is read off the GUI thread and then removed when it is a scratch file.
    void take(QObject *context, Answer answer);

  private:
    QDBusConnection m_bus;
    QString m_service;
    int m_timeoutMs;
};

} // namespace zorv
