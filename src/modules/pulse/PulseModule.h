#pragma once

// The entry point of the sound server module (libzorv-pulse.so), which Zorv
// loads with QLibrary when microphones are first listed. Plain C types only, so
// the module needs neither Qt nor Zorv.

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
