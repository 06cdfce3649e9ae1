#include "support/fake/FakeRecordingSources.h"

#include "support/fake/FakePlatform.h"

#include <cmath>

namespace zorv
{

namespace
{
class FakeFrameGrabber : public FrameGrabber
{
  public:
    FakeFrameGrabber(FakeRecordingSources &owner, const RecordingArea &area)
        : m_owner(owner), m_area(area)
    {
    }
    bool grab(QImage &frame, QString &error) override
    {
        const int number = m_owner.framesGrabbed++;
        if (m_owner.failAtFrame >= 0 && number >= m_owner.failAtFrame) {
            error = QStringLiteral("the recorded display was disconnected");
            return false;
        }
        const double scale = m_area.scale;
        const QSize size = m_area.pixelSize.isEmpty()
                               ? QSize(std::max(1, int(std::lround(m_area.rect.width() * scale))),
                                       std::max(1, int(std::lround(m_area.rect.height() * scale))))
                               : m_area.pixelSize;
        if (frame.size() != size || frame.format() != QImage::Format_RGB32)
            frame = QImage(size, QImage::Format_RGB32);
        for (int y = 0; y < frame.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(frame.scanLine(y));
            for (int x = 0; x < frame.width(); ++x)
                line[x] = FakeScreenBackend::pixelAt(
                    {m_area.rect.x() + (x + 0.5) / scale, m_area.rect.y() + (y + 0.5) / scale});
        }
        frame.setPixel(0, 0, qRgb(number & 0xFF, (number >> 8) & 0xFF, (number >> 16) & 0xFF));
        return true;
    }

  private:
    FakeRecordingSources &m_owner;
    RecordingArea m_area;
};

class FakeCursorSource : public CursorSource
{
  public:
    explicit FakeCursorSource(QList<CursorSnapshot> script) : m_script(std::move(script)) {}
    std::optional<CursorSnapshot> current() override
    {
        if (m_script.isEmpty())
            return std::nullopt;
        return m_script.size() > 1 ? m_script.takeFirst() : m_script.first();
    }

  private:
    QList<CursorSnapshot> m_script;
};
} // namespace

class FakeClickSource : public ClickSource
{
  public:
    explicit FakeClickSource(FakeRecordingSources &owner) : m_owner(owner) {}
    QList<PointerClick> takeClicks() override
    {
        const std::lock_guard lock(m_owner.m_mutex);
        return std::exchange(m_owner.m_clicks, {});
    }

  private:
    FakeRecordingSources &m_owner;
};

class FakeAudioCapture : public AudioCapture
{
  public:
    FakeAudioCapture(FakeRecordingSources &owner, AudioInput input) : m_owner(owner), m_input(input)
    {
    }
    ~FakeAudioCapture() override
    {
        const std::lock_guard lock(m_owner.m_mutex);
        m_owner.m_audio.remove(m_input);
    }

  private:
    FakeRecordingSources &m_owner;
    AudioInput m_input;
};

int FakeRecordingSources::frameNumber(const QImage &frame)
{
    const QRgb first = frame.pixel(0, 0);
    return qRed(first) | (qGreen(first) << 8) | (qBlue(first) << 16);
}

void FakeRecordingSources::click(const PointerClick &click)
{
    const std::lock_guard lock(m_mutex);
    m_clicks.append(click);
}

bool FakeRecordingSources::audioOpen(AudioInput input)
{
    const std::lock_guard lock(m_mutex);
    return m_audio.contains(input);
}

bool FakeRecordingSources::deliverAudio(AudioInput input, const QList<float> &interleaved,
                                        int64_t captureTimeNs)
{
    AudioCapture::Samples samples;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_audio.contains(input))
            return false;
        samples = m_audio[input].samples;
    }
    samples(interleaved.constData(), int(interleaved.size() / AudioCapture::channels),
            captureTimeNs);
    return true;
}

bool FakeRecordingSources::loseAudio(AudioInput input, const QString &reason)
{
    AudioCapture::Lost lost;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_audio.contains(input))
            return false;
        // Like the real source: once, and no samples after it.
        lost = std::exchange(m_audio[input].lost, {});
        m_audio[input].samples = [](const float *, int, int64_t) {};
    }
    if (lost)
        lost(reason);
    return true;
}

Expected<std::unique_ptr<FrameGrabber>, QString>
FakeRecordingSources::frameGrabber(const RecordingArea &area)
{
    lastArea = area;
    if (grabberRefusal)
        return *grabberRefusal;
    return std::unique_ptr<FrameGrabber>(std::make_unique<FakeFrameGrabber>(*this, area));
}

std::unique_ptr<CursorSource> FakeRecordingSources::cursor(const RecordingArea &)
{
    return std::make_unique<FakeCursorSource>(cursorScript);
}

std::unique_ptr<ClickSource> FakeRecordingSources::clicks(const RecordingArea &)
{
    return std::make_unique<FakeClickSource>(*this);
}

Expected<std::unique_ptr<AudioCapture>, QString>
FakeRecordingSources::audio(AudioInput input, const QString &, AudioCapture::Samples samples,
                            AudioCapture::Lost lost)
{
    if (audioRefusal)
        return *audioRefusal;
    const std::lock_guard lock(m_mutex);
    m_audio.insert(input, {std::move(samples), std::move(lost)});
    return std::unique_ptr<AudioCapture>(std::make_unique<FakeAudioCapture>(*this, input));
}

} // namespace zorv
