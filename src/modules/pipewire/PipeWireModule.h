#pragma once

/* The entry points of the PipeWire module (libzorv-pipewire.so), which Zorv loads with
 * QLibrary when it first reads a ScreenCast stream, so that libpipewire costs nothing before.
 * Plain C: the module needs neither Qt nor Zorv. */

#include <stdint.h>

#define ZORV_PIPEWIRE_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* The stream's pixel layout as negotiated (bytes in memory order). */
enum ZorvPipeWireFormat {
    ZORV_PIPEWIRE_BGRX = 0,
    ZORV_PIPEWIRE_BGRA = 1,
    ZORV_PIPEWIRE_RGBX = 2,
    ZORV_PIPEWIRE_RGBA = 3,
};

typedef struct ZorvPipeWireStream ZorvPipeWireStream;

/* A frame as handed out: always 32-bit 0xAARRGGBB in native byte order (alpha 0xff for the
 * formats without one), whatever the stream's layout. */
typedef struct ZorvPipeWireFrame {
    int width;
    int height;
    int stride;        /* of the caller's buffer */
    int format;        /* ZorvPipeWireFormat of the stream */
    int64_t timeNs;    /* CLOCK_MONOTONIC when the frame arrived */
    uint64_t sequence; /* counts the frames the stream delivered, from 1 */
} ZorvPipeWireFrame;

typedef struct ZorvPipeWireCursor {
    int visible;    /* 0: the pointer is off the stream's area or hidden */
    int x, y;       /* where the hot spot is, in stream pixels */
    int hotX, hotY; /* hot spot within the bitmap */
    int width;      /* of the bitmap held; 0 when the stream never sent one */
    int height;
    uint64_t serial; /* grows whenever the bitmap changes */
} ZorvPipeWireCursor;

/* Asked for the buffer of `width` × `height` 32-bit pixels; returns its first row and sets
 * `*stride`, or null to give up. */
typedef uint8_t *(*ZorvPipeWireAllocate)(void *userdata, int width, int height, int *stride);

/* Connects to the PipeWire remote `fd` (taken over: closed by the module, also on failure)
 * and to the stream of node `node`, negotiating shared-memory video only. Waits at most
 * `timeoutMs` for the node to agree on a format. Null on failure with the reason in `error`
 * (`errorSize` bytes, terminated). */
typedef ZorvPipeWireStream *(*ZorvPipeWireOpen)(int fd, uint32_t node, int timeoutMs, char *error,
                                                int errorSize);
/* Waits at most `timeoutMs` for a frame that arrived after `afterNs` (CLOCK_MONOTONIC; a
 * negative value accepts the latest whatever its age), then copies the latest frame into a
 * buffer from `allocate` and describes it in `frame`. 1: copied; 0: none in time; -1: the
 * stream ended or failed (the reason from ZorvPipeWireError). */
typedef int (*ZorvPipeWireNext)(ZorvPipeWireStream *stream, int64_t afterNs, int timeoutMs,
                                ZorvPipeWireAllocate allocate, void *userdata,
                                ZorvPipeWireFrame *frame);
/* The pointer as the stream's metadata last described it. When `allocate` is given and a
 * bitmap is held, copies it (0xAARRGGBB, not premultiplied). 1: described; 0: the stream
 * carries no pointer metadata. */
typedef int (*ZorvPipeWireCursorRead)(ZorvPipeWireStream *stream, ZorvPipeWireCursor *cursor,
                                      ZorvPipeWireAllocate allocate, void *userdata);
/* Why the stream ended, else why the last call failed; empty before either. Valid until the
 * next call. */
typedef const char *(*ZorvPipeWireError)(ZorvPipeWireStream *stream);
/* Disconnects and frees the stream. */
typedef void (*ZorvPipeWireClose)(ZorvPipeWireStream *stream);

#ifdef __cplusplus
}
#endif
