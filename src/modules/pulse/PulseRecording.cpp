// A record stream for screen recordings: small fragments, each stamped with
// the monotonic time its first frame was heard.
#include "common/MonotonicClock.h"
#include "modules/pulse/PulseModule.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>
#include <utility>

struct ZorvPulseRecording {
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    ZorvPulseSamples samples = nullptr;
    ZorvPulseLost lost = nullptr;
    void *userdata = nullptr;
    bool running = false;  // the stream reached READY; losses are reported from then on
    bool stopping = false; // asked to stop: an ending is no loss
    bool lostReported = false;
    bool timedOut = false;
    int64_t framesRead = 0;
    // (arrival, implied start) of recent fragments, the smallest start first.
    std::deque<std::pair<int64_t, int64_t>> starts;

    // When the stream's first frame was heard, judged from the fragment that
    // arrived at `now` with the stream's `framesRead` frames.
    int64_t stamp(int64_t now);
};

namespace
{

constexpr uint32_t sampleRate = 48000;
int64_t nsOf(int64_t frames)
{
    return frames * 1'000'000'000 / sampleRate;
}
constexpr uint8_t channels = 2;
constexpr size_t frameBytes = sizeof(float) * channels;
// Small fragments keep the stamps close to the sound and the mixer fed.
constexpr pa_usec_t fragmentUsec = 10 * PA_USEC_PER_MSEC;

void reportLoss(ZorvPulseRecording *r, const char *reason)
{
    if (r->stopping || !r->running || r->lostReported)
        return;
    r->lostReported = true;
    if (r->lost)
        r->lost(r->userdata, reason);
}

void contextChanged(pa_context *context, void *userdata)
{
    auto *r = static_cast<ZorvPulseRecording *>(userdata);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        reportLoss(r, "the sound server went away");
    pa_threaded_mainloop_signal(r->loop, 0);
}

void streamChanged(pa_stream *stream, void *userdata)
{
    auto *r = static_cast<ZorvPulseRecording *>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        reportLoss(r, "the audio device went away");
    pa_threaded_mainloop_signal(r->loop, 0);
}

void readable(pa_stream *stream, size_t, void *userdata)
{
    auto *r = static_cast<ZorvPulseRecording *>(userdata);
    for (;;) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            return;
        const int frames = int(bytes / frameBytes);
        // A hole (no data) stands for frames the server lost: they still take their time.
        r->framesRead += frames;
        if (data && frames > 0)
            r->samples(r->userdata, static_cast<const float *>(data), frames,
                       r->stamp(zorv::monotonicNs()) + nsOf(r->framesRead - frames));
        pa_stream_drop(stream);
    }
}

void timeUp(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata)
{
    auto *r = static_cast<ZorvPulseRecording *>(userdata);
    r->timedOut = true;
    pa_threaded_mainloop_signal(r->loop, 0);
}

void say(char *problem, int size, const char *format, const char *a = "", const char *b = "")
{
    if (problem && size > 0)
        snprintf(problem, size_t(size), format, a, b);
}

void destroy(ZorvPulseRecording *r)
{
    if (r->loop) {
        pa_threaded_mainloop_lock(r->loop);
        r->stopping = true;
        if (r->stream) {
            pa_stream_set_read_callback(r->stream, nullptr, nullptr);
            pa_stream_set_state_callback(r->stream, nullptr, nullptr);
            pa_stream_disconnect(r->stream);
            pa_stream_unref(r->stream);
        }
        if (r->context) {
            pa_context_set_state_callback(r->context, nullptr, nullptr);
            pa_context_disconnect(r->context);
            pa_context_unref(r->context);
        }
        pa_threaded_mainloop_unlock(r->loop);
        pa_threaded_mainloop_stop(r->loop);
        pa_threaded_mainloop_free(r->loop);
    }
    delete r;
}

} // namespace

int64_t ZorvPulseRecording::stamp(int64_t now)
{
    // A frame is heard no later than it arrives; the fragment that came
    // soonest after its frames in the last two seconds tells when the stream
    // began. The server's own latency estimate was no help: on a null
    // output's monitor it starts 0.7 s off and takes a second and a half to
    // settle, moving stamps twice as fast as the sound meanwhile. The
    // window follows the sound card's clock drift; a start far later than
    // the window's means frames were lost upstream.
    constexpr int64_t window = 2'000'000'000, lostAfter = 250'000'000;
    const int64_t start = now - nsOf(framesRead);
    if (!starts.empty() && start - starts.front().second > lostAfter)
        starts.clear();
    while (!starts.empty() && starts.back().second >= start)
        starts.pop_back();
    starts.emplace_back(now, start);
    while (starts.front().first < now - window)
        starts.pop_front();
    return starts.front().second;
}

extern "C" ZORV_PULSE_EXPORT ZorvPulseRecording *
zorv_pulse_start_recording(int monitor, const char *source, int timeoutMs, ZorvPulseSamples samples,
                           ZorvPulseLost lost, void *userdata, char *problem, int problemSize)
{
    auto *r = new ZorvPulseRecording;
    r->samples = samples;
    r->lost = lost;
    r->userdata = userdata;
    r->loop = pa_threaded_mainloop_new();
    if (!r->loop) {
        say(problem, problemSize, "the sound server could not be asked");
        destroy(r);
        return nullptr;
    }
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(r->loop);
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Zorv");
    r->context = pa_context_new_with_proplist(api, "Zorv", props);
    pa_proplist_free(props);
    if (!r->context) {
        say(problem, problemSize, "the sound server could not be asked");
        destroy(r);
        return nullptr;
    }
    pa_context_set_state_callback(r->context, &contextChanged, r);
    if (pa_context_connect(r->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(r->loop) < 0) {
        say(problem, problemSize, "no sound server answers");
        destroy(r);
        return nullptr;
    }

    pa_threaded_mainloop_lock(r->loop);
    timeval deadline{};
    pa_gettimeofday(&deadline);
    pa_timeval_add(&deadline, pa_usec_t(timeoutMs) * PA_USEC_PER_MSEC);
    pa_time_event *timer = api->time_new(api, &deadline, &timeUp, r);

    const bool named = source && *source;
    const char *device = monitor ? "@DEFAULT_MONITOR@" : (named ? source : nullptr);
    bool ok = false;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(r->context);
        if (!PA_CONTEXT_IS_GOOD(state)) {
            say(problem, problemSize, "no sound server answers");
            break;
        }
        if (state == PA_CONTEXT_READY && !r->stream) {
            const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, sampleRate, channels};
            pa_channel_map map;
            pa_channel_map_init_stereo(&map);
            r->stream = pa_stream_new(r->context, "Zorv recording", &sampleFormat, &map);
            if (!r->stream) {
                say(problem, problemSize, "the sound server refused the recording");
                break;
            }
            pa_stream_set_state_callback(r->stream, &streamChanged, r);
            pa_stream_set_read_callback(r->stream, &readable, r);
            pa_buffer_attr attr;
            memset(&attr, 0xFF, sizeof attr); // the server's choice for all but the fragment
            attr.fragsize = uint32_t(pa_usec_to_bytes(fragmentUsec, &sampleFormat));
            // A chosen microphone that goes away ends the stream instead of
            // silently recording another one.
            const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY |
                                                 (named && !monitor ? PA_STREAM_DONT_MOVE : 0));
            if (pa_stream_connect_record(r->stream, device, &attr, flags) < 0) {
                say(problem, problemSize, "the sound server refused the recording: %s",
                    pa_strerror(pa_context_errno(r->context)));
                break;
            }
        }
        if (r->stream) {
            const pa_stream_state_t state = pa_stream_get_state(r->stream);
            if (state == PA_STREAM_READY) {
                ok = true;
                break;
            }
            if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
                const int error = pa_context_errno(r->context);
                if (error == PA_ERR_NOENTITY && named && !monitor)
                    say(problem, problemSize, "there is no microphone \"%s\"", source);
                else if (error == PA_ERR_NOENTITY)
                    say(problem, problemSize, "the sound server has no %s",
                        monitor ? "output to record" : "microphone");
                else
                    say(problem, problemSize, "the sound server refused the recording: %s",
                        pa_strerror(error));
                break;
            }
        }
        if (r->timedOut) {
            say(problem, problemSize, "the sound server did not answer in time");
            break;
        }
        pa_threaded_mainloop_wait(r->loop);
    }
    api->time_free(timer);
    r->running = ok;
    pa_threaded_mainloop_unlock(r->loop);
    if (!ok) {
        destroy(r);
        return nullptr;
    }
    return r;
}

extern "C" ZORV_PULSE_EXPORT void zorv_pulse_stop_recording(ZorvPulseRecording *recording)
{
    if (recording)
        destroy(recording);
}
