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
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("zorv-*.mp4"), QStringLiteral("zorv-*.gif")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        const bool gif = file.suffix() == QLatin1String("gif");
        const QString videoName =
            gif ? file.completeBaseName() + QStringLiteral(".mp4") : file.fileName();
        // The temporary folder is shared: other users' files are not ours to take.
        if (!RecordingController::isOutputName(videoName) || file.isSymLink() ||
            file.ownerId() != ::getuid() || file.lastModified() >= before)
            continue;
        // A GIF is filed before its video goes: one left over was cut short,
        // or is in the history already; its video, if any, is kept instead.
        found.append({file.absoluteFilePath(), file.lastModified(),
                      gif ? std::nullopt : probe(file.absoluteFilePath())});
    }
    return found;
}

} // namespace zorv::recordingLeftovers
