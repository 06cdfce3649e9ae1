#include "recording/RecordingLeftovers.h"

#include "recording/RecordingController.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace zorv::recordingLeftovers
{

QList<RecordingLeftover> find(const QString &folder, const QDateTime &before, const Probe &probe)
{
    QList<RecordingLeftover> found;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("zorv-*.mp4")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        // The temporary folder is shared: other users' files are not ours to take.
        if (!RecordingController::isOutputName(file.fileName()) || file.isSymLink() ||
            file.ownerId() != ::getuid() || file.lastModified() >= before)
            continue;
        found.append(
            {file.absoluteFilePath(), file.lastModified(), probe(file.absoluteFilePath())});
    }
    return found;
}

} // namespace zorv::recordingLeftovers
