#include "capture/Permissions.h"

#include <QDesktopServices>
#include <QUrl>

namespace zorv::Permissions
{

void open(const QString &link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (link.isEmpty() || !url.isValid() || url.scheme().isEmpty())
        return;
    QDesktopServices::openUrl(url);
}

QString screenRecordingLink()
{
    return {};
}

} // namespace zorv::Permissions
