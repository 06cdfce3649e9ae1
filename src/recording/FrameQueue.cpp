#include "recording/FrameQueue.h"

namespace zorv
{

FrameQueue::FrameQueue(int frames, const QSize &size) : m_ready(size_t(frames))
{
    m_frames.reserve(size_t(frames));
    for (int i = 0; i < frames; ++i) {
        m_frames.emplace_back(size, QImage::Format_RGB32);
        m_frames.back().fill(Qt::black);
        m_free.push_back(frames - 1 - i);
    }
}

int FrameQueue::acquire()
{
    if (m_free.empty())
        return -1;
    const int index = m_free.back();
    m_free.pop_back();
    return index;
}

void FrameQueue::push(int index, int64_t stampNs)
{
    m_ready[(m_readyHead + m_readyCount) % m_ready.size()] = {index, stampNs};
    ++m_readyCount;
}

FrameQueue::Slot FrameQueue::pop()
{
    const Slot slot = m_ready[m_readyHead];
    m_readyHead = (m_readyHead + 1) % m_ready.size();
    --m_readyCount;
    return slot;
}

void FrameQueue::release(int index)
{
    m_free.push_back(index);
}

} // namespace zorv
