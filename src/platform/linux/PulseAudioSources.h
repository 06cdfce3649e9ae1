#pragma once

#include "platform/Platform.h"

namespace zorv
{

// Microphones from the PulseAudio server (PipeWire's pulse server too), asked
// off the main thread through the sound server module, loaded on first use.
class PulseAudioSources : public AudioSources
{
  public:
    void listMicrophones(QObject *context, Answer answer) override;
    // The blocking query itself; public for the backend tests.
    static Expected<QList<AudioSource>, QString> query(int timeoutMs);
};

} // namespace zorv
