#pragma once

// The entry points of the sound server module (libzorv-pulse.so), which Zorv
// loads with QLibrary when microphones are first listed or a recording first
// takes sound. Plain C types only, so the module needs neither Qt nor Zorv.

#include <stdint.h>

#define ZORV_PULSE_EXPORT __attribute__((visibility("default")))

extern "C" {
// Called once for each microphone: the server's name for it and what the user sees.
using ZorvPulseSourceFound = void (*)(void *userdata, const char *id, const char *name);
// Lists the server's inputs but the monitors of its outputs, waiting at most
// `timeoutMs`. Null on success, otherwise why the server could not be asked
// (a static text).
using ZorvPulseListMicrophones = const char *(*)(int timeoutMs, ZorvPulseSourceFound found,
                                                 void *userdata);
}

extern "C" {
// One recording stream; opaque to the caller.
struct ZorvPulseRecording;
// Interleaved float32 stereo at 48 kHz; `captureTimeNs` (CLOCK_MONOTONIC) is
// when the first frame was heard. Called on the module's own thread.
using ZorvPulseSamples = void (*)(void *userdata, const float *data, int frames,
                                  int64_t captureTimeNs);
// The stream ended without being asked to (server gone, device removed); once.
using ZorvPulseLost = void (*)(void *userdata, const char *reason);
// Records the monitor of the default output (`monitor` non-zero) or the source
// named `source` (null or empty: the default input), waiting at most
// `timeoutMs` for it to run. Null on failure, with the reason in `problem`.
using ZorvPulseStartRecording = ZorvPulseRecording *(*)(int monitor, const char *source,
                                                        int timeoutMs, ZorvPulseSamples samples,
                                                        ZorvPulseLost lost, void *userdata,
                                                        char *problem, int problemSize);
// Ends the stream; no callback runs once it returns. Not from a callback.
using ZorvPulseStopRecording = void (*)(ZorvPulseRecording *recording);
}
