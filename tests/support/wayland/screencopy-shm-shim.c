/* Preloaded into xdg-desktop-portal-wlr (0.7) on the headless test desktop.
 *
 * The portal's ScreenCast backend only starts a stream once a screencopy frame (version 3 and
 * up) has announced a linux_dmabuf format. A compositor that renders with pixman, as sway does
 * without a GPU, announces shared-memory buffers only, so Start fails with "unable to receive a
 * valid format". This library repeats the frame's shared-memory format as a linux_dmabuf event
 * just before buffer_done. The compositor offers no zwp_linux_dmabuf_v1 global, so the backend
 * still negotiates shared memory with PipeWire: the frames that flow are the real ones. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

struct wl_proxy;
const char *wl_proxy_get_class(struct wl_proxy *proxy);
uint32_t wl_proxy_get_version(struct wl_proxy *proxy);

/* Event handlers of zwlr_screencopy_frame_v1, in protocol order. */
struct frame_events {
    void (*buffer)(void *, struct wl_proxy *, uint32_t, uint32_t, uint32_t, uint32_t);
    void (*flags)(void *, struct wl_proxy *, uint32_t);
    void (*ready)(void *, struct wl_proxy *, uint32_t, uint32_t, uint32_t);
    void (*failed)(void *, struct wl_proxy *);
    void (*damage)(void *, struct wl_proxy *, uint32_t, uint32_t, uint32_t, uint32_t);
    void (*linux_dmabuf)(void *, struct wl_proxy *, uint32_t, uint32_t, uint32_t);
    void (*buffer_done)(void *, struct wl_proxy *);
};

/* One per frame: the backend's own handlers and data, and what the buffer event said. */
struct frame_state {
    const struct frame_events *inner;
    void *data;
    uint32_t fourcc, width, height;
    int saw_dmabuf;
};

/* wl_shm formats equal DRM fourcc codes except the two oldest, which are 0 and 1. */
static uint32_t shm_to_fourcc(uint32_t format)
{
    if (format == 0)
        return 0x34325241; /* ARGB8888 */
    if (format == 1)
        return 0x34325258; /* XRGB8888 */
    return format;
}

static void on_buffer(void *d, struct wl_proxy *f, uint32_t format, uint32_t w, uint32_t h,
                      uint32_t stride)
{
    struct frame_state *s = d;
    s->fourcc = shm_to_fourcc(format);
    s->width = w;
    s->height = h;
    if (s->inner->buffer)
        s->inner->buffer(s->data, f, format, w, h, stride);
}

static void on_flags(void *d, struct wl_proxy *f, uint32_t flags)
{
    struct frame_state *s = d;
    if (s->inner->flags)
        s->inner->flags(s->data, f, flags);
}

/* ready and failed end a frame's life: the backend destroys the frame in its handler. */
static void on_ready(void *d, struct wl_proxy *f, uint32_t hi, uint32_t lo, uint32_t ns)
{
    struct frame_state *s = d;
    if (s->inner->ready)
        s->inner->ready(s->data, f, hi, lo, ns);
    free(s);
}

static void on_failed(void *d, struct wl_proxy *f)
{
    struct frame_state *s = d;
    if (s->inner->failed)
        s->inner->failed(s->data, f);
    free(s);
}

static void on_damage(void *d, struct wl_proxy *f, uint32_t x, uint32_t y, uint32_t w, uint32_t h)
{
    struct frame_state *s = d;
    if (s->inner->damage)
        s->inner->damage(s->data, f, x, y, w, h);
}

static void on_linux_dmabuf(void *d, struct wl_proxy *f, uint32_t fourcc, uint32_t w, uint32_t h)
{
    struct frame_state *s = d;
    s->saw_dmabuf = 1;
    if (s->inner->linux_dmabuf)
        s->inner->linux_dmabuf(s->data, f, fourcc, w, h);
}

static void on_buffer_done(void *d, struct wl_proxy *f)
{
    struct frame_state *s = d;
    if (!s->saw_dmabuf && s->width > 0 && s->inner->linux_dmabuf)
        s->inner->linux_dmabuf(s->data, f, s->fourcc, s->width, s->height);
    if (s->inner->buffer_done)
        s->inner->buffer_done(s->data, f);
}

static const struct frame_events outer = {on_buffer, on_flags,        on_ready,      on_failed,
                                          on_damage, on_linux_dmabuf, on_buffer_done};

typedef int (*add_listener_fn)(struct wl_proxy *, void (**)(void), void *);

int wl_proxy_add_listener(struct wl_proxy *proxy, void (**handlers)(void), void *data)
{
    static add_listener_fn next;
    if (!next)
        *(void **)&next = dlsym(RTLD_NEXT, "wl_proxy_add_listener"); /* POSIX's way round ISO C */
    const char *cls = wl_proxy_get_class(proxy);
    if (!cls || strcmp(cls, "zwlr_screencopy_frame_v1") != 0 || wl_proxy_get_version(proxy) < 3)
        return next(proxy, handlers, data);
    struct frame_state *s = calloc(1, sizeof *s);
    if (!s)
        return next(proxy, handlers, data);
    s->inner = (const struct frame_events *)handlers;
    s->data = data;
    return next(proxy, (void (**)(void)) & outer, s);
}
