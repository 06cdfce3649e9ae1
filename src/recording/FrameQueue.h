#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

namespace zorv
{

// A few frames allocated once and passed round between the capture and the
// encode thread: the capture side takes a free frame, fills it and queues it;
// the encode side takes the oldest queued frame and gives it back when
// written. When no frame is free the encoder is behind and the capture drops
// its frame instead of waiting.
//
// Not thread-safe: the engine calls it under its lock, and a frame is only
// touched outside the lock by the side that holds it.
class FrameQueue
{
  public:
    FrameQueue(int frames, const QSize &size);

    struct Slot {
        int index = -1;
        int64_t stampNs = 0;
    };

    QImage &frame(int index) { return m_frames[size_t(index)]; }

    int acquire(); // -1 when none is free
    void push(int index, int64_t stampNs);
    bool hasReady() const { return m_readyCount > 0; }
    Slot pop();
    void release(int index);
    int capacity() const { return int(m_frames.size()); }

  private:
    std::vector<QImage> m_frames;
    std::vector<int> m_free;
    std::vector<Slot> m_ready; // a ring of capacity() slots
    size_t m_readyHead = 0;
    size_t m_readyCount = 0;
};

} // namespace zorv
