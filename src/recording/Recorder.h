#pragma once

#include "recording/RecordingConfig.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace zorv
{

// What the recording controller needs of an engine. Everything is called and
// answered on the GUI thread; the work happens off it.
class Recorder : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    // nullopt once the recording runs, else what the user is told.
    using Started = std::function<void(std::optional<QString> error)>;
    // The finished file, or nullopt when nothing was recorded.
    using Stopped = std::function<void(std::optional<QString> path)>;

    virtual void start(const RecordingConfig &config, Started started) = 0;
    // Safe at any time: while starting it ends the start; without a recording
    // it answers at once with the last file.
    virtual void stop(Stopped stopped) = 0;

  Q_SIGNALS:
    // The recording ended by itself (display gone, disk full, encoder failure);
    // the controller finishes it with what was written.
    void systemStopped(const QString &reason);
    // Something the user should know that does not end the recording, e.g. a
    // microphone unplugged.
    void notice(const QString &text);
};

} // namespace zorv
