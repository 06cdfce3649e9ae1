#pragma once

#include "platform/x11/ImagePool.h"
#include "platform/x11/X11Atoms.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSet>
#include <QTimer>
#include <optional>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace zorv
{

// A private shared-memory segment attached to the X server.
struct SharedSegment {
    xcb_shm_seg_t id = 0;
    void *address = nullptr;
};
// Creates one of `bytes` and attaches it; nullopt when either fails (a remote
// server, most likely). The segment goes away with the last detach.
std::optional<SharedSegment> attachSharedSegment(xcb_connection_t *connection, size_t bytes);

// Reads pixels from the X server: the screen as shown, the screen composed
// without some top-level windows, and one top-level's own pixels. Images come
// back as Format_RGB32 (opaque depths) or Format_ARGB32_Premultiplied (depth 32),
// in X pixels.
class X11Pixels
{
  public:
    // `releaseWhenIdle` gives the shared memory and kept images back after a
    // quiet spell; it needs the constructing thread's event loop, so a reader
    // on a worker thread keeps them until it is destroyed.
    X11Pixels(xcb_connection_t *connection, xcb_screen_t *screen, const X11Atoms &atoms,
              bool releaseWhenIdle = true);
    ~X11Pixels();
    X11Pixels(const X11Pixels &) = delete;
    X11Pixels &operator=(const X11Pixels &) = delete;

    // Whether top-level windows have pixmaps of their own (Composite redirect held).
    bool composited() const { return m_composited; }
    bool usesSharedMemory() const { return m_shmAvailable; }

    // A region of a drawable, written into `into` where imageFromPixels can; null on failure.
    QImage read(xcb_drawable_t drawable, const QRect &rect, QImage into = {});
    // The screen in `rect` as it would look without the `excluded` root children.
    // Its memory is that of an earlier image of that size when nobody holds it any more.
    QImage compose(const QRect &rect, const QSet<xcb_window_t> &excluded);
    // A root child's own pixels, even where covered; `crop` in its coordinates.
    QImage readTopLevel(xcb_window_t topLevel, const QRect &crop);

  private:
    struct TopLevel {
        xcb_window_t id;
        QRect rect; // including the border
    };
    QList<TopLevel> viewableTopLevels();
    QImage readShared(xcb_drawable_t drawable, const QRect &rect, QImage into);
    QImage readPlain(xcb_drawable_t drawable, const QRect &rect, QImage into);
    bool reserveSegment();
    void releaseSegment();
    // Keeps a screen's image for the next read of its size to write into.
    QImage kept(const QImage &image);
    QImage background(const QRect &rect);
    void armIdle();

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    X11Atoms m_atoms;
    bool m_releaseWhenIdle = true;
    bool m_composited = false;
    bool m_formatSupported = false;
    bool m_shmAvailable = false;
    xcb_shm_seg_t m_segment = 0;
    void *m_shmAddress = nullptr;
    ImagePool m_images;
    // One shot, armed by each use of the segment or the kept images: both go
    // back to the system after a quiet spell.
    QTimer m_idle;
};

// Turns 32-bit X pixels of the given depth into an image (one pass, no further
// copy). The pixels go into `into` when it has that size and format and no one
// else holds it (a holder's copy is never touched); otherwise into new memory.
QImage imageFromPixels(const uchar *data, int width, int height, int stride, int depth,
                       QImage into = {});

} // namespace zorv
