/* Reads one ScreenCast stream through libpipewire on a thread loop of its own. The compositor
 * sends a frame only when the screen changed, so the module keeps the latest one and copies
 * it out on request. */
#include "modules/pipewire/PipeWireModule.h"

#include <errno.h>
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/utils/result.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define CURSOR_MAX 256
#define CURSOR_META_SIZE(w, h)                                                                     \
    (sizeof(struct spa_meta_cursor) + sizeof(struct spa_meta_bitmap) + (size_t)(w) * (h)*4)

struct ZorvPipeWireStream {
    struct pw_thread_loop *loop;
    struct pw_context *context;
    struct pw_core *core;
    struct pw_registry *registry;
    struct pw_stream *stream;
    struct spa_hook coreListener;
    struct spa_hook registryListener;
    struct spa_hook streamListener;
    uint32_t node;

    /* Guarded by the loop's lock. */
    struct spa_video_info_raw video;
    int format; /* ZorvPipeWireFormat; -1 before negotiation */
    uint8_t *pixels;
    size_t capacity;
    int width, height, stride;
    int64_t timeNs;
    uint64_t sequence;
    int cursorMeta; /* the stream carried cursor metadata */
    ZorvPipeWireCursor cursor;
    int cursorFormat;
    uint8_t *cursorPixels; /* width × height × 4, tightly packed */
    char ended[256];       /* non-empty once the stream is over */
    char failed[256];      /* why the last call failed while the stream goes on */
    char reported[256];
};

static int64_t monotonic_ns(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

static void set_error(char *error, int size, const char *format, ...)
{
    if (!error || size <= 0)
        return;
    va_list args;
    va_start(args, format);
    vsnprintf(error, (size_t)size, format, args);
    va_end(args);
}

/* Called with the lock held; the first reason stays. */
static void end_stream(struct ZorvPipeWireStream *s, const char *format, ...)
{
    if (s->ended[0])
        return;
    va_list args;
    va_start(args, format);
    vsnprintf(s->ended, sizeof s->ended, format, args);
    va_end(args);
    pw_thread_loop_signal(s->loop, false);
}

static int from_spa(uint32_t format)
{
    switch (format) {
    case SPA_VIDEO_FORMAT_BGRx:
        return ZORV_PIPEWIRE_BGRX;
    case SPA_VIDEO_FORMAT_BGRA:
        return ZORV_PIPEWIRE_BGRA;
    case SPA_VIDEO_FORMAT_RGBx:
        return ZORV_PIPEWIRE_RGBX;
    case SPA_VIDEO_FORMAT_RGBA:
        return ZORV_PIPEWIRE_RGBA;
    default:
        return -1;
    }
}

/* One row into 0xAARRGGBB. Little-endian memory order BGRA is that already. */
static void convert_row(uint32_t *out, const uint8_t *in, int width, int format)
{
    const uint32_t *words = (const uint32_t *)in;
    switch (format) {
    case ZORV_PIPEWIRE_BGRA:
        memcpy(out, in, (size_t)width * 4);
        break;
    case ZORV_PIPEWIRE_BGRX:
        for (int x = 0; x < width; ++x)
            out[x] = words[x] | 0xff000000u;
        break;
    case ZORV_PIPEWIRE_RGBA:
    case ZORV_PIPEWIRE_RGBX: {
        const uint32_t alpha = format == ZORV_PIPEWIRE_RGBX ? 0xff000000u : 0;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = words[x];
            out[x] = (p & 0xff00ff00u) | ((p & 0xffu) << 16) | ((p >> 16) & 0xffu) | alpha;
        }
        break;
    }
    }
}

static void read_cursor(struct ZorvPipeWireStream *s, struct spa_buffer *buffer)
{
    const struct spa_meta *meta = spa_buffer_find_meta(buffer, SPA_META_Cursor);
    if (!meta || meta->size < sizeof(struct spa_meta_cursor))
        return;
    struct spa_meta_cursor *cursor = meta->data;
    s->cursorMeta = 1;
    if (!spa_meta_cursor_is_valid(cursor)) {
        s->cursor.visible = 0;
        return;
    }
    s->cursor.visible = 1;
    s->cursor.x = cursor->position.x;
    s->cursor.y = cursor->position.y;
    s->cursor.hotX = cursor->hotspot.x;
    s->cursor.hotY = cursor->hotspot.y;
    if (cursor->bitmap_offset < sizeof *cursor ||
        (size_t)cursor->bitmap_offset + sizeof(struct spa_meta_bitmap) > meta->size)
        return; /* the bitmap did not change */
    const struct spa_meta_bitmap *bitmap = SPA_PTROFF(cursor, cursor->bitmap_offset, void);
    const int format = from_spa(bitmap->format);
    const int width = (int)bitmap->size.width, height = (int)bitmap->size.height;
    if (format < 0 || width <= 0 || height <= 0 || width > CURSOR_MAX || height > CURSOR_MAX ||
        bitmap->stride < width * 4 ||
        (size_t)cursor->bitmap_offset + bitmap->offset + (size_t)bitmap->stride * height >
            meta->size)
        return; /* nothing Zorv reads, or not within the metadata */
    uint8_t *pixels = realloc(s->cursorPixels, (size_t)width * height * 4);
    if (!pixels)
        return;
    const uint8_t *rows = SPA_PTROFF(bitmap, bitmap->offset, uint8_t);
    for (int y = 0; y < height; ++y)
        memcpy(pixels + (size_t)y * width * 4, rows + (size_t)y * bitmap->stride,
               (size_t)width * 4);
    s->cursorPixels = pixels;
    s->cursorFormat = format;
    s->cursor.width = width;
    s->cursor.height = height;
    ++s->cursor.serial;
}

static void on_process(void *data)
{
    struct ZorvPipeWireStream *s = data;
    /* Only the newest of what is queued matters. */
    struct pw_buffer *newest = NULL, *next;
    while ((next = pw_stream_dequeue_buffer(s->stream))) {
        if (newest)
            pw_stream_queue_buffer(s->stream, newest);
        newest = next;
    }
    if (!newest)
        return;
    struct spa_buffer *buffer = newest->buffer;
    read_cursor(s, buffer);
    const struct spa_data *plane = &buffer->datas[0];
    const int width = (int)s->video.size.width, height = (int)s->video.size.height;
    const int stride = plane->chunk->stride > 0 ? plane->chunk->stride : width * 4;
    const int shared = plane->type == SPA_DATA_MemPtr || plane->type == SPA_DATA_MemFd;
    const int usable =
        shared && plane->data && plane->chunk->size > 0 && s->format >= 0 &&
        !(plane->chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) && stride >= width * 4 &&
        (size_t)plane->chunk->offset + (size_t)stride * (height - 1) + (size_t)width * 4 <=
            plane->maxsize;
    if (usable) {
        const size_t size = (size_t)stride * height;
        if (size > s->capacity) {
            uint8_t *grown = realloc(s->pixels, size);
            if (!grown) {
                end_stream(s, "out of memory for a %d×%d frame", width, height);
                pw_stream_queue_buffer(s->stream, newest);
                return;
            }
            s->pixels = grown;
            s->capacity = size;
        }
        memcpy(s->pixels, SPA_PTROFF(plane->data, plane->chunk->offset, uint8_t), size);
        s->width = width;
        s->height = height;
        s->stride = stride;
        s->timeNs = monotonic_ns();
        ++s->sequence;
        pw_thread_loop_signal(s->loop, false);
    }
    pw_stream_queue_buffer(s->stream, newest);
}

static void on_param_changed(void *data, uint32_t id, const struct spa_pod *param)
{
    struct ZorvPipeWireStream *s = data;
    if (id != SPA_PARAM_Format || !param)
        return;
    struct spa_video_info_raw video;
    if (spa_format_video_raw_parse(param, &video) < 0 || from_spa(video.format) < 0) {
        end_stream(s, "the stream offers no pixel format Zorv reads");
        return;
    }
    s->video = video;
    s->format = from_spa(video.format);
    pw_thread_loop_signal(s->loop, false); /* the open waits for this */

    uint8_t storage[1024];
    struct spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const struct spa_pod *params[3];
    /* Shared memory only: a DMA-BUF would need a GPU context to read. */
    params[0] = spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd)));
    params[1] = spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
        SPA_POD_CHOICE_RANGE_Int(CURSOR_META_SIZE(64, 64), CURSOR_META_SIZE(1, 1),
                                 CURSOR_META_SIZE(CURSOR_MAX, CURSOR_MAX)));
    params[2] = spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
                                           SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
                                           SPA_PARAM_META_size,
                                           SPA_POD_Int(sizeof(struct spa_meta_header)));
    pw_stream_update_params(s->stream, params, 3);
}

static void on_state_changed(void *data, enum pw_stream_state old, enum pw_stream_state state,
                             const char *error)
{
    struct ZorvPipeWireStream *s = data;
    (void)old;
    switch (state) {
    case PW_STREAM_STATE_ERROR:
        end_stream(s, "the stream failed: %s", error ? error : "no reason given");
        break;
    case PW_STREAM_STATE_UNCONNECTED:
        end_stream(s, "the stream was disconnected from its source (output gone, session closed or "
                      "compositor gone)");
        break;
    default:
        break;
    }
}

static const struct pw_stream_events stream_events = {
    PW_VERSION_STREAM_EVENTS,
    .state_changed = on_state_changed,
    .param_changed = on_param_changed,
    .process = on_process,
};

static void on_core_error(void *data, uint32_t id, int seq, int res, const char *message)
{
    struct ZorvPipeWireStream *s = data;
    (void)seq;
    if (id == PW_ID_CORE)
        end_stream(s,
                   res == -EPIPE ? "the PipeWire connection closed (compositor or portal gone)"
                                 : "PipeWire failed: %s",
                   message ? message : spa_strerror(res));
}

static const struct pw_core_events core_events = {
    PW_VERSION_CORE_EVENTS,
    .error = on_core_error,
};

static void on_global_remove(void *data, uint32_t id)
{
    struct ZorvPipeWireStream *s = data;
    if (id == s->node)
        end_stream(s, "the stream's source was removed (output gone or session closed)");
}

static const struct pw_registry_events registry_events = {
    PW_VERSION_REGISTRY_EVENTS,
    .global_remove = on_global_remove,
};

/* Waits on the loop (lock held) until `done` or the deadline; 0 when the time ran out. */
static int wait_until(struct ZorvPipeWireStream *s, int64_t deadlineNs,
                      int (*done)(struct ZorvPipeWireStream *, const void *), const void *arg)
{
    while (!done(s, arg)) {
        const int64_t left = deadlineNs - monotonic_ns();
        if (left <= 0)
            return 0;
        struct timespec abstime;
        pw_thread_loop_get_time(s->loop, &abstime, left);
        pw_thread_loop_timed_wait_full(s->loop, &abstime);
    }
    return 1;
}

/* A node that is not a video source of ours never gets this far. */
static int negotiated_or_ended(struct ZorvPipeWireStream *s, const void *arg)
{
    (void)arg;
    return s->format >= 0 || s->ended[0];
}

static int frame_or_ended(struct ZorvPipeWireStream *s, const void *arg)
{
    const int64_t afterNs = *(const int64_t *)arg;
    return s->ended[0] || (s->sequence > 0 && s->timeNs > afterNs);
}

static void destroy(struct ZorvPipeWireStream *s)
{
    if (s->loop)
        pw_thread_loop_stop(s->loop);
    if (s->stream)
        pw_stream_destroy(s->stream);
    if (s->registry)
        pw_proxy_destroy((struct pw_proxy *)s->registry);
    if (s->core)
        pw_core_disconnect(s->core);
    if (s->context)
        pw_context_destroy(s->context);
    if (s->loop)
        pw_thread_loop_destroy(s->loop);
    free(s->pixels);
    free(s->cursorPixels);
    free(s);
}

ZORV_PIPEWIRE_EXPORT ZorvPipeWireStream *zorv_pipewire_open(int fd, uint32_t node, int timeoutMs,
                                                            char *error, int errorSize)
{
    pw_init(NULL, NULL);
    struct ZorvPipeWireStream *s = calloc(1, sizeof *s);
    if (!s) {
        close(fd);
        set_error(error, errorSize, "out of memory");
        return NULL;
    }
    s->node = node;
    s->format = -1;
    s->loop = pw_thread_loop_new("zorv-pipewire", NULL);
    if (!s->loop || pw_thread_loop_start(s->loop) < 0) {
        close(fd);
        set_error(error, errorSize, "no PipeWire thread loop");
        destroy(s);
        return NULL;
    }
    pw_thread_loop_lock(s->loop);
    s->context = pw_context_new(pw_thread_loop_get_loop(s->loop), NULL, 0);
    s->core = s->context ? pw_context_connect_fd(s->context, fd, NULL, 0) : NULL;
    if (!s->core) {
        if (!s->context)
            close(fd);
        set_error(error, errorSize, "cannot connect to the PipeWire remote: %s", strerror(errno));
        pw_thread_loop_unlock(s->loop);
        destroy(s);
        return NULL;
    }
    pw_core_add_listener(s->core, &s->coreListener, &core_events, s);
    s->registry = pw_core_get_registry(s->core, PW_VERSION_REGISTRY, 0);
    if (s->registry)
        pw_registry_add_listener(s->registry, &s->registryListener, &registry_events, s);

    s->stream = pw_stream_new(s->core, "Zorv screen capture",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                "Capture", PW_KEY_MEDIA_ROLE, "Screen", NULL));
    if (!s->stream) {
        set_error(error, errorSize, "cannot create a PipeWire stream: %s", strerror(errno));
        pw_thread_loop_unlock(s->loop);
        destroy(s);
        return NULL;
    }
    pw_stream_add_listener(s->stream, &s->streamListener, &stream_events, s);

    uint8_t storage[1024];
    struct spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const struct spa_pod *params[1];
    params[0] = spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size,
        SPA_POD_CHOICE_RANGE_Rectangle(&SPA_RECTANGLE(1920, 1080), &SPA_RECTANGLE(1, 1),
                                       &SPA_RECTANGLE(16384, 16384)),
        SPA_FORMAT_VIDEO_framerate,
        SPA_POD_CHOICE_RANGE_Fraction(&SPA_FRACTION(0, 1), &SPA_FRACTION(0, 1),
                                      &SPA_FRACTION(1000, 1)));
    const int connected = pw_stream_connect(
        s->stream, PW_DIRECTION_INPUT, node,
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_DONT_RECONNECT,
        params, 1);
    if (connected < 0) {
        set_error(error, errorSize, "cannot connect to stream %u: %s", node,
                  spa_strerror(connected));
        pw_thread_loop_unlock(s->loop);
        destroy(s);
        return NULL;
    }
    const int negotiated =
        wait_until(s, monotonic_ns() + (int64_t)timeoutMs * 1000000, negotiated_or_ended, NULL);
    if (!negotiated || s->ended[0]) {
        set_error(error, errorSize, "%s",
                  s->ended[0] ? s->ended : "no video format agreed with the stream in time");
        pw_thread_loop_unlock(s->loop);
        destroy(s);
        return NULL;
    }
    pw_thread_loop_unlock(s->loop);
    return s;
}

ZORV_PIPEWIRE_EXPORT int zorv_pipewire_next(ZorvPipeWireStream *s, int64_t afterNs, int timeoutMs,
                                            ZorvPipeWireAllocate allocate, void *userdata,
                                            ZorvPipeWireFrame *frame)
{
    pw_thread_loop_lock(s->loop);
    const int arrived =
        wait_until(s, monotonic_ns() + (int64_t)timeoutMs * 1000000, frame_or_ended, &afterNs);
    int result = 0;
    if (s->ended[0]) {
        result = -1;
    } else if (arrived) {
        int stride = 0;
        uint8_t *out = allocate(userdata, s->width, s->height, &stride);
        if (!out || stride < s->width * 4) {
            snprintf(s->failed, sizeof s->failed, "no buffer for a %d×%d frame", s->width,
                     s->height);
            result = -1;
        } else {
            for (int y = 0; y < s->height; ++y)
                convert_row((uint32_t *)(out + (size_t)y * stride),
                            s->pixels + (size_t)y * s->stride, s->width, s->format);
            frame->width = s->width;
            frame->height = s->height;
            frame->stride = stride;
            frame->format = s->format;
            frame->timeNs = s->timeNs;
            frame->sequence = s->sequence;
            result = 1;
        }
    }
    pw_thread_loop_unlock(s->loop);
    return result;
}

ZORV_PIPEWIRE_EXPORT int zorv_pipewire_cursor(ZorvPipeWireStream *s, ZorvPipeWireCursor *cursor,
                                              ZorvPipeWireAllocate allocate, void *userdata)
{
    pw_thread_loop_lock(s->loop);
    const int present = s->cursorMeta;
    *cursor = s->cursor;
    if (present && allocate && s->cursorPixels && s->cursor.width > 0) {
        int stride = 0;
        uint8_t *out = allocate(userdata, s->cursor.width, s->cursor.height, &stride);
        if (out && stride >= s->cursor.width * 4)
            for (int y = 0; y < s->cursor.height; ++y)
                convert_row((uint32_t *)(out + (size_t)y * stride),
                            s->cursorPixels + (size_t)y * s->cursor.width * 4, s->cursor.width,
                            s->cursorFormat);
    }
    pw_thread_loop_unlock(s->loop);
    return present;
}

ZORV_PIPEWIRE_EXPORT const char *zorv_pipewire_error(ZorvPipeWireStream *s)
{
    pw_thread_loop_lock(s->loop);
    memcpy(s->reported, s->ended[0] ? s->ended : s->failed, sizeof s->reported);
    pw_thread_loop_unlock(s->loop);
    return s->reported;
}

ZORV_PIPEWIRE_EXPORT void zorv_pipewire_close(ZorvPipeWireStream *s)
{
    if (s)
        destroy(s);
}
