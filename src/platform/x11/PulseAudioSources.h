#pragma once

#include "platform/Platform.h"

namespace zorv
{

// Microphones from the PulseAudio server (PipeWire's pulse server too), asked
// off the main thread on a private main loop.
class PulseAudioSources : public AudioSources
{
  public:
    void listMicrophones(QObject *context, Answer answer) override;
    // The blocking query itself; public for the backend tests.
    static Expected<QList<AudioSource>, QString> query(int timeoutMs);
};

} // namespace zorv
