#pragma once

#include "recording/Recorder.h"
#include "support/Files.h"

#include <QList>
#include <utility>

namespace zorv::test
{

// A recorder that answers when the test says so, as the real engine answers
// later. It creates the output file at once, as the engine does.
class FakeRecorder : public Recorder
{
  public:
    QList<RecordingConfig> starts;
    Started pendingStart;
    QList<Stopped> stops;

    void start(const RecordingConfig &config, Started started) override
    {
        starts.append(config);
        writeFile(config.outputPath, "mp4 bytes");
        pendingStart = std::move(started);
    }
    void stop(Stopped stopped) override { stops.append(std::move(stopped)); }

    void answerStart(std::optional<QString> error = std::nullopt)
    {
        auto started = std::exchange(pendingStart, nullptr);
        started(error);
    }
    // Every waiting stop gets the file: the engine gives a late one the last file.
    void answerStops()
    {
        const QString path = starts.last().outputPath;
        for (auto &stopped : std::exchange(stops, {}))
            stopped(path);
    }
};

} // namespace zorv::test
