#pragma once

#include "common/Expected.h"
#include "platform/RecordingSources.h"
#include "platform/x11/RecordingArea.h"
#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Pixels.h"
#include "platform/x11/X11WindowList.h"

#include <QHash>
#include <memory>
#include <xcb/shm.h>

namespace zorv
{

// Reads a recorded area from the root window over a connection of its own:
// one shared-memory read per frame, straight into the caller's image. Only
// while one of Zorv's own windows overlaps the area is the frame composed
// from the other windows' pixmaps instead, so the control window and toasts
// never show in the video.
class X11FrameGrabber : public FrameGrabber
{
  public:
    static Expected<std::unique_ptr<X11FrameGrabber>, QString> make(const DeviceArea &area,
                                                                    uint32_t displayID);
    ~X11FrameGrabber() override;

    bool grab(QImage &frame, QString &error) override;
    // Whether the last frame had to be composed without own windows.
    bool lastComposed() const { return m_lastComposed; }

  private:
    X11FrameGrabber(const DeviceArea &area, uint32_t displayID);
    bool setUp(QString &error);
    bool attachSegment();
    void drainEvents();
    void refreshOwnWindows();
    bool ownWindowOverlaps() const;
    bool displayPresent();
    bool readRoot(QImage &frame);
    bool composeInto(QImage &frame);
    void place(const uchar *pixels, int stride, int depth, QImage &frame);

    OwnConnection m_x;
    DeviceArea m_area;
    QRect m_readable; // the part of the area that lies on the root window
    uint32_t m_displayID;
    X11Atoms m_atoms;
    std::unique_ptr<X11WindowList> m_windowList;
    std::unique_ptr<X11Pixels> m_pixels;
    QHash<xcb_window_t, QRect> m_own; // Zorv's viewable root children
    bool m_ownDirty = true;
    int64_t m_nextRefreshNs = 0;
    int64_t m_nextDisplayCheckNs = 0;
    bool m_lastComposed = false;

    xcb_shm_seg_t m_segment = 0;
    void *m_shm = nullptr;
    QImage m_scratch; // the device pixels when the frame is resampled
};

} // namespace zorv
