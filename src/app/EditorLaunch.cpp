#include "app/EditorLaunch.h"

#include "common/Log.h"
#include "common/WhenReady.h"

#include <QFileInfo>
#include <QImageReader>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

void openHistoryImage(const HistoryItem &item, QObject *context, OpenEditorFunction openEditor,
                      ToastFunction toast)
{
    auto reading = QtConcurrent::run([path = item.filePath] {
        QImageReader reader(path);
        QImage image = reader.read();
        if (image.isNull())
            logLine(QStringLiteral("cannot read %1: %2").arg(path, reader.errorString()));
        return image;
    });
    whenReady(
        std::move(reading), context,
        [item, openEditor = std::move(openEditor), toast = std::move(toast)](const QImage &image) {
            if (!image.isNull()) {
                openEditor(image, item.kind, item.fileName, item.id);
                return;
            }
            // Deleted or overwritten after the history listed it.
            const QString why = QFileInfo(item.filePath).isFile()
                                    ? QStringLiteral("the file is not a readable picture")
                                    : QStringLiteral("the file is no longer there");
            toast(QStringLiteral("Couldn't open %1: %2").arg(item.fileName, why),
                  QStringLiteral("exclamationmark.triangle.fill"), 2.5);
        });
}

} // namespace zorv
