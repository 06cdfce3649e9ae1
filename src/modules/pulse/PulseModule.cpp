// Microphones from the PulseAudio server (PipeWire's pulse server too), built as
// a module of its own: libpulse brings libsndfile and its codecs, which only the
// microphone list and recordings with sound need.
#include "modules/pulse/PulseModule.h"

#include <chrono>
#include <memory>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>

namespace
{

struct Query {
    ZorvPulseSourceFound found;
    void *userdata;
    bool listed = false;
    bool failed = false; // the server ended the list with an error
};

void addSource(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *query = static_cast<Query *>(userdata);
    if (eol != 0) {
        // A negative end marks a listing that failed: not an empty one.
        query->failed = eol < 0;
        query->listed = true;
        return;
    }
    // A monitor records what an output plays: system audio, not a microphone.
    if (!info || info->monitor_of_sink != PA_INVALID_INDEX)
        return;
    query->found(query->userdata, info->name, info->description ? info->description : info->name);
}

} // namespace

extern "C" ZORV_PULSE_EXPORT const char *
zorv_pulse_list_microphones(int timeoutMs, ZorvPulseSourceFound found, void *userdata)
{
    std::unique_ptr<pa_mainloop, decltype(&pa_mainloop_free)> loop(pa_mainloop_new(),
                                                                   &pa_mainloop_free);
    if (!loop)
        return "the sound server could not be asked";
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Zorv");
    std::unique_ptr<pa_context, decltype(&pa_context_unref)> context(
        pa_context_new_with_proplist(pa_mainloop_get_api(loop.get()), "Zorv", props),
        &pa_context_unref);
    pa_proplist_free(props);
    if (!context || pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return "no sound server answers";

    Query query{found, userdata};
    pa_operation *operation = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const char *problem = nullptr;
    while (!query.listed) {
        if (std::chrono::steady_clock::now() > deadline) {
            problem = "the sound server did not answer in time";
            break;
        }
        const pa_context_state_t state = pa_context_get_state(context.get());
        if (!PA_CONTEXT_IS_GOOD(state)) {
            problem = "no sound server answers";
            break;
        }
        if (state == PA_CONTEXT_READY && !operation) {
            operation = pa_context_get_source_info_list(context.get(), &addSource, &query);
            if (!operation) {
                problem = "the sound server refused to list its inputs";
                break;
            }
        }
        // Blocks at most 100 ms, so the deadline above is kept.
        pa_mainloop_prepare(loop.get(), 100 * 1000);
        pa_mainloop_poll(loop.get());
        pa_mainloop_dispatch(loop.get());
    }
    if (query.failed)
        problem = "the sound server could not list its inputs";
    if (operation) {
        pa_operation_cancel(operation);
        pa_operation_unref(operation);
    }
    pa_context_disconnect(context.get());
    return problem;
}
