#include "recording/AudioTimeline.h"

#include <algorithm>
#include <cmath>

namespace zorv
{

AudioTimeline::AudioTimeline(int64_t t0Ns, int sources) : m_t0(t0Ns), m_sources(size_t(sources)) {}

int64_t AudioTimeline::framesAt(int64_t t0Ns, int64_t timeNs)
{
    const int64_t ns = timeNs - t0Ns;
    const int64_t seconds = ns / 1'000'000'000;
    const int64_t rest = ns % 1'000'000'000;
    return seconds * rate +
           (rest * rate + (rest >= 0 ? 500'000'000 : -500'000'000)) / 1'000'000'000;
}

void AudioTimeline::pad(Source &source, int64_t frames)
{
    if (frames <= 0)
        return;
    source.pending.insert(source.pending.end(), size_t(frames * channels), 0.0f);
    m_padded += frames;
}

// Appends `frames` that belong at frame `at`, dropping what lies before the
// source's end or before what the mix has already taken.
void AudioTimeline::append(Source &source, const float *data, int64_t frames, int64_t at)
{
    const int64_t from = std::max(source.end(), m_taken);
    if (source.pending.empty())
        source.start = from;
    if (at > from)
        pad(source, at - from);
    const int64_t skip = std::max<int64_t>(0, std::max(source.end(), m_taken) - at);
    if (skip >= frames)
        return;
    source.pending.insert(source.pending.end(), data + skip * channels, data + frames * channels);
}

void AudioTimeline::add(int index, const float *data, int frames, int64_t captureTimeNs)
{
    if (index < 0 || index >= int(m_sources.size()) || frames <= 0)
        return;
    Source &source = m_sources[size_t(index)];
    if (source.lost)
        return;
    const int64_t byClock = framesAt(m_t0, captureTimeNs);
    if (!source.started) {
        // The first sample lands exactly where it was heard.
        source.started = true;
        source.start = m_taken;
        append(source, data, frames, byClock);
        return;
    }
    const int64_t byCount = source.end();
    const int64_t deviation = byClock - byCount;
    int64_t at = byCount;
    if (std::abs(deviation) >= gapFrames) {
        at = byClock;
        source.drift = 0;
    } else {
        // Smooth over about half a second of audio.
        const double weight = std::min(1.0, double(frames) / (rate / 2.0));
        source.drift += (double(deviation) - source.drift) * weight;
        if (std::abs(source.drift) >= double(driftToleranceFrames)) {
            at = byCount + int64_t(std::llround(source.drift));
            source.drift = 0;
        }
    }
    append(source, data, frames, at);
}

void AudioTimeline::lose(int index)
{
    if (index >= 0 && index < int(m_sources.size()))
        m_sources[size_t(index)].lost = true;
}

AudioTimeline::Chunk AudioTimeline::mixTo(int64_t limit)
{
    Chunk chunk;
    chunk.startFrame = m_taken;
    if (limit <= m_taken)
        return chunk;
    const int64_t frames = limit - m_taken;
    chunk.samples.assign(size_t(frames * channels), 0.0f);
    for (Source &source : m_sources) {
        if (source.pending.empty() || source.start >= limit) {
            if (!source.lost)
                m_padded += source.start >= limit ? 0 : frames;
            continue;
        }
        // pending starts at or after m_taken (append never places it earlier).
        const int64_t offset = source.start - m_taken;
        const int64_t available = std::min(limit, source.end()) - source.start;
        if (!source.lost && source.end() < limit)
            m_padded += limit - source.end();
        if (!source.lost && offset > 0)
            m_padded += offset;
        float *out = chunk.samples.data() + offset * channels;
        const float *in = source.pending.data();
        for (int64_t i = 0; i < available * channels; ++i)
            out[i] += in[i];
        source.pending.erase(source.pending.begin(),
                             source.pending.begin() + std::ptrdiff_t(available * channels));
        source.start += available;
        if (source.pending.empty())
            source.start = limit;
    }
    if (m_sources.size() > 1) {
        for (float &sample : chunk.samples)
            sample = std::clamp(sample, -1.0f, 1.0f);
    }
    m_taken = limit;
    return chunk;
}

AudioTimeline::Chunk AudioTimeline::take(int64_t nowNs)
{
    const int64_t clockLimit = framesAt(m_t0, nowNs - holdNs);
    int64_t limit = INT64_MAX;
    bool anyLive = false;
    for (const Source &source : m_sources) {
        if (source.lost)
            continue;
        anyLive = true;
        limit = std::min(limit, std::max(source.end(), clockLimit));
    }
    if (!anyLive)
        limit = std::max(m_taken, framesAt(m_t0, nowNs));
    return mixTo(limit);
}

AudioTimeline::Chunk AudioTimeline::takeUntil(int64_t untilNs)
{
    return mixTo(framesAt(m_t0, untilNs));
}

} // namespace zorv
