#pragma once

#include "platform/RecordingSources.h"

struct ZorvPulseRecording;

namespace zorv
{

// A PulseAudio record stream (PipeWire's pulse server too) through the sound
// server module, loaded on first use.
class PulseAudioCapture : public AudioCapture
{
  public:
    // Blocks until the stream runs or fails (at most a few seconds): call it
    // off the GUI thread.
    static Expected<std::unique_ptr<AudioCapture>, QString>
    start(AudioInput input, const QString &deviceID, Samples samples, Lost lost);
    // Whether the module is installed, without loading it.
    static bool installed();
    ~PulseAudioCapture() override;

  private:
    PulseAudioCapture(Samples samples, Lost lost);
    static void delivered(void *self, const float *data, int frames, int64_t captureTimeNs);
    static void ended(void *self, const char *reason);

    Samples m_samples;
    Lost m_lost;
    ZorvPulseRecording *m_recording = nullptr;
};

} // namespace zorv
