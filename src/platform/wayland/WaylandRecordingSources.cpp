#include "platform/wayland/WaylandRecordingSources.h"

#include "platform/linux/PulseAudioCapture.h"
#include "platform/portal/RestoreTokenStore.h"
#include "platform/wayland/CastRecording.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace zorv
{

namespace
{

class CastFrameGrabber : public FrameGrabber
{
  public:
    explicit CastFrameGrabber(std::shared_ptr<CastRecording> cast) : m_cast(std::move(cast)) {}
    std::optional<QString> open(const std::atomic<bool> &abandon) override
    {
        return m_cast->open(abandon);
    }
    bool hasPicture(int64_t timeoutNs) override { return m_cast->hasPicture(timeoutNs); }
    bool grab(QImage &frame, QString &error) override { return m_cast->grab(frame, error); }

  private:
    std::shared_ptr<CastRecording> m_cast;
};

class CastCursorSource : public CursorSource
{
  public:
    explicit CastCursorSource(std::shared_ptr<CastRecording> cast) : m_cast(std::move(cast)) {}
    std::optional<CursorSnapshot> current() override { return m_cast->cursor(); }

  private:
    std::shared_ptr<CastRecording> m_cast;
};

} // namespace

WaylandRecordingSources::WaylandRecordingSources(QString tokenPath)
    : m_tokenPath(std::move(tokenPath))
{
}

QString WaylandRecordingSources::defaultTokenPath()
{
    return QFileInfo(FileRestoreTokenStore::defaultPath()).absolutePath() +
           QStringLiteral("/screencast-recording-token");
}

Expected<std::unique_ptr<FrameGrabber>, QString>
WaylandRecordingSources::frameGrabber(const RecordingArea &area)
{
    // Display ids are Qt's screens counted from 1 (WaylandScreenBackend).
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (area.displayID == 0 || area.displayID > uint32_t(screens.size()))
        return QStringLiteral("the display to record is not connected");
    auto cast = std::make_shared<CastRecording>(area, screens[area.displayID - 1], m_tokenPath,
                                                CastTimeouts{}, m_cursorModes);
    m_latest = cast;
    return std::unique_ptr<FrameGrabber>(std::make_unique<CastFrameGrabber>(std::move(cast)));
}

std::unique_ptr<CursorSource> WaylandRecordingSources::cursor(const RecordingArea &area)
{
    const std::shared_ptr<CastRecording> cast = m_latest.lock();
    if (!cast || cast->area().displayID != area.displayID || cast->area().rect != area.rect)
        return nullptr;
    cast->wantCursor();
    const uint modes = m_cursorModes->load();
    // Known to lack metadata: the pointer comes drawn into the frames, not twice.
    if (modes != 0 && CastRecording::cursorMode(true, modes) != CastCursor::Metadata)
        return nullptr;
    return std::make_unique<CastCursorSource>(cast);
}

Expected<std::unique_ptr<AudioCapture>, QString>
WaylandRecordingSources::audio(AudioInput input, const QString &deviceID,
                               AudioCapture::Samples samples, AudioCapture::Lost lost)
{
    return PulseAudioCapture::start(input, deviceID, std::move(samples), std::move(lost));
}

} // namespace zorv
