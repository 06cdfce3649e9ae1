#pragma once

#include "platform/RecordingSources.h"

#include <QMap>
#include <atomic>
#include <mutex>

namespace zorv
{

// Synthetic recording sources. Frames show the fake desktop's pattern with the
// frame's number in its top-left pixel (frameNumber); the pointer follows a
// script; clicks and audio buffers are pushed by the test and reach the
// recording as the real sources would deliver them.
class FakeRecordingSources : public RecordingSources
{
  public:
    // Set before a recording starts.
    std::optional<QString> grabberRefusal; // frameGrabber() fails with this
    std::optional<QString> audioRefusal;   // audio() fails with this
    int failAtFrame = -1;                  // that grab and every later one fail
    QList<CursorSnapshot> cursorScript;    // one per call, the last repeating; empty: none

    std::atomic<int> framesGrabbed{0};
    RecordingArea lastArea;

    // The number a frame carries.
    static int frameNumber(const QImage &frame);
    // Any thread, while a recording runs.
    void click(const PointerClick &click);
    // Runs `input`'s sample callback on the calling thread; false when no
    // capture of it is open.
    bool deliverAudio(AudioInput input, const QList<float> &interleaved, int64_t captureTimeNs);
    // The source goes away: its Lost callback runs once.
    bool loseAudio(AudioInput input, const QString &reason);
    bool audioOpen(AudioInput input);

    Expected<std::unique_ptr<FrameGrabber>, QString>
    frameGrabber(const RecordingArea &area) override;
    std::unique_ptr<CursorSource> cursor(const RecordingArea &area) override;
    std::unique_ptr<ClickSource> clicks(const RecordingArea &area) override;
    Expected<std::unique_ptr<AudioCapture>, QString> audio(AudioInput input,
                                                           const QString &deviceID,
                                                           AudioCapture::Samples samples,
                                                           AudioCapture::Lost lost) override;

  private:
    friend class FakeAudioCapture;
    friend class FakeClickSource;
    struct OpenAudio {
        AudioCapture::Samples samples;
        AudioCapture::Lost lost;
    };
    std::mutex m_mutex; // the test thread and the recording's threads meet here
    QList<PointerClick> m_clicks;
    QMap<AudioInput, OpenAudio> m_audio;
};

} // namespace zorv
