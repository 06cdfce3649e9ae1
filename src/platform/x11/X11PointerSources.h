#pragma once

#include "platform/RecordingSources.h"
#include "platform/x11/RecordingArea.h"

#include <QList>
#include <mutex>
#include <thread>

namespace zorv
{

// The pointer's real shape from XFixes, read again only when the shape
// changes (cursor-notify); its position by a pointer query each time.
class X11CursorSource : public CursorSource
{
  public:
    explicit X11CursorSource(const DeviceArea &area);
    std::optional<CursorSnapshot> current() override;

  private:
    bool readShape();

    OwnConnection m_x;
    DeviceArea m_area;
    uint8_t m_notifyEvent = 0; // XFixes' first event code; 0 without XFixes
    bool m_shapeStale = true;
    QImage m_image; // at the area's scale, shared with the snapshots
    QPoint m_hotspot;
};

// Button presses anywhere, from XInput 2 raw events on a thread of its own:
// raw events reach the root whatever window has the pointer or a grab.
class X11ClickSource : public ClickSource
{
  public:
    explicit X11ClickSource(const DeviceArea &area);
    ~X11ClickSource() override;
    QList<PointerClick> takeClicks() override;
    // Whether presses can be seen at all (XInput 2 present).
    bool listening() const { return m_thread.joinable(); }

  private:
    void run();

    OwnConnection m_x;
    DeviceArea m_area;
    uint8_t m_xinputOpcode = 0;
    int m_wake = -1; // an eventfd that ends the thread
    std::mutex m_mutex;
    QList<PointerClick> m_clicks; // guarded by m_mutex
    std::thread m_thread;
};

} // namespace zorv
