#include "platform/portal/ScreenshotPortal.h"

#include "common/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QImageReader>
#include <QPointer>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

bool isPortalScratchFile(const QString &path, const QStringList &temporaryFolders)
{
    const QString folder = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return false;
    for (const QString &temporary : temporaryFolders) {
        const QString canonical = QFileInfo(temporary).canonicalFilePath();
        if (!canonical.isEmpty() && folder == canonical)
            return true;
    }
    return false;
}

QStringList systemTemporaryFolders()
{
    return {QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp")};
}

ScreenshotPortal::ScreenshotPortal(QDBusConnection bus, QString service, int timeoutMs)
    : m_bus(std::move(bus)), m_service(std::move(service)), m_timeoutMs(timeoutMs)
{
}

void ScreenshotPortal::take(QObject *context, Answer answer)
{
    auto *request = new PortalRequest(m_bus, m_service, context);
    QObject::connect(
        request, &PortalRequest::finished, context,
        [request, context, answer = std::move(answer)](const PortalOutcome &outcome) {
            request->deleteLater();
            if (!outcome.ok()) {
                answer(outcome);
                return;
            }
            const QUrl uri(outcome.results.value(QStringLiteral("uri")).toString());
            if (!uri.isLocalFile()) {
                answer(PortalOutcome{PortalOutcome::Kind::Failed,
                                     {},
                                     QStringLiteral("Screenshot: the portal gave no file (%1)")
                                         .arg(uri.toString())});
                return;
            }
            const QString path = uri.toLocalFile();
            QtConcurrent::run([path] {
                QImageReader reader(path);
                QImage image = reader.read();
                // Left in a shared temporary folder, the picture of the screen would outlive
                // its use; anywhere else it may be the user's own file.
                if (isPortalScratchFile(path, systemTemporaryFolders()) && !QFile::remove(path))
                    logLine(QStringLiteral("cannot remove the portal's screenshot %1").arg(path));
                return image.isNull() ? Expected<QImage, QString>(
                                            QStringLiteral("Screenshot: cannot read %1: %2")
                                                .arg(path, reader.errorString()))
                                      : Expected<QImage, QString>(std::move(image));
            }).then(context, [answer](Expected<QImage, QString> read) {
                if (read)
                    answer(std::move(read.value()));
                else
                    answer(PortalOutcome{PortalOutcome::Kind::Failed, {}, read.error()});
            });
        });
    request->send(QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"),
                  {QString()}, {{QStringLiteral("interactive"), false}}, m_timeoutMs);
}

} // namespace zorv
