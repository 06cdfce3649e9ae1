#pragma once

#include <QDateTime>
#include <QList>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

namespace zorv
{

// A recording file that a crash left in the temporary folder.
struct RecordingLeftover {
    QString path;
    QDateTime modified;
    std::optional<QSize> frameSize; // none when its first frame does not decode
};

namespace recordingLeftovers
{

// The frame size of a video whose first frame decodes; nothing otherwise.
using Probe = std::function<std::optional<QSize>(const QString &path)>;

// This user's files in `folder` named as running recordings and GIFs being
// built are, last changed before `before` (a recording running now keeps
// changing its file), each video probed; a GIF is never playable here. Runs
// off the GUI thread.
QList<RecordingLeftover> find(const QString &folder, const QDateTime &before, const Probe &probe);

} // namespace recordingLeftovers
} // namespace zorv
