#pragma once

#include "platform/RecordingSources.h"
#include "platform/portal/PipeWireStream.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/ScreenCastSession.h"
#include "platform/wayland/CastGeometry.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

class QObject;
class QScreen;

namespace zorv
{

struct CastHandoff;

// How long the portal and the stream may take before a recording gives up on them.
struct CastTimeouts {
    int replyMs = 5000;     // portal calls that answer at once
    int dialogMs = 120000;  // Start, where the portal may ask the user which screen to share
    int streamMs = 3000;    // PipeWire agreeing on a format
    int firstFrameMs = 500; // the first picture, before the recording begins without it
    int freshFrameMs = 8;   // a frame about to arrive, before the last one is used again
};

// One recording's ScreenCast session and stream, shared by its frame grabber and its cursor
// source. Made on the GUI thread, where the portal conversation runs; read from the
// recording's worker thread. The session opens in open() and closes when the last user lets
// go.
class CastRecording
{
  public:
    // `screen` shows the area (looked at on the GUI thread only). `cursorModes` are the
    // portal's cursor modes once known (0 before), shared between recordings.
    CastRecording(RecordingArea area, QScreen *screen, QString tokenPath, CastTimeouts timeouts,
                  std::shared_ptr<std::atomic<uint>> cursorModes);
    ~CastRecording();
    CastRecording(const CastRecording &) = delete;
    CastRecording &operator=(const CastRecording &) = delete;

    const RecordingArea &area() const { return m_area; }
    // The pointer is wanted in the video: as metadata when the portal offers it, else drawn
    // into the frames. GUI thread, before open().
    void wantCursor() { m_wantCursor = true; }

    // The worker thread's side, one call at a time.
    std::optional<QString> open(const std::atomic<bool> &abandon);
    bool hasPicture(int64_t timeoutNs);
    bool grab(QImage &frame, QString &error);
    std::optional<CursorSnapshot> cursor();

    // The sentence a user reads when the portal did not grant the screen.
    static QString refusalText(const PortalOutcome &outcome);
    // The portal's cursor mode for a recording that wants the pointer or not, given the
    // modes the portal offers (0: not known).
    static CastCursor cursorMode(bool wanted, uint available);

  private:
    // Takes a frame that arrived after `afterNs` into m_last; false when none came in time.
    bool take(int64_t afterNs, int timeoutMs);
    bool placeCrop(QString &error);

    RecordingArea m_area;
    CastTimeouts m_timeouts;
    bool m_wantCursor = false;
    std::shared_ptr<CastHandoff> m_handoff;
    QObject *m_portal; // lives on the GUI thread; deleted there after us

    std::unique_ptr<PipeWireStream> m_stream;
    QImage m_last;  // the newest whole frame
    QImage m_spare; // the one before, written into by the next
    int64_t m_lastTimeNs = -1;
    std::optional<QString> m_ended;
    QRectF m_cropOutput; // the shared screen in global logical coordinates
    CastCrop m_crop;
    QSize m_cropFor; // the frame size m_crop was made for
};

} // namespace zorv
