#pragma once

/* The entry points of the Wayland clipboard module (libzorv-wlclip.so), loaded with QLibrary
 * on Wayland sessions only. It sets the selection through the compositor's data-control
 * protocol (wlroots, KDE), which needs no focused surface, from a connection and a thread of
 * its own, and serves the offered bytes from memory until another client takes the selection.
 * Plain C: the module needs neither Qt nor Zorv. */

#include <stddef.h>

#define ZORV_WLCLIP_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZorvWlClip ZorvWlClip;

/* Called on the module's thread when a reader first asks for a type whose bytes were deferred;
 * answer with ZorvWlClipSupply (from any thread). */
typedef void (*ZorvWlClipRequest)(void *userdata, int generation, const char *type);
/* Connects to $WAYLAND_DISPLAY. Null when that fails or when the compositor offers no
 * data-control manager or no seat, with the reason in `error` (`errorSize` bytes,
 * terminated). */
typedef ZorvWlClip *(*ZorvWlClipOpen)(ZorvWlClipRequest request, void *userdata, char *error,
                                      int errorSize);
/* Offers `count` types as the clipboard's content, replacing Zorv's previous offer. Each
 * type's bytes are copied; a null `data` (or entry) defers them until a reader asks. Returns
 * the offer's generation (> 0), or -1 when the connection is gone. */
typedef int (*ZorvWlClipSet)(ZorvWlClip *clip, int count, const char *const *types,
                             const char *const *data, const size_t *sizes);
/* The bytes of a deferred type of offer `generation` (copied); null `data`: none to give, the
 * readers get nothing. Ignored when the offer is gone. */
typedef void (*ZorvWlClipSupply)(ZorvWlClip *clip, int generation, const char *type,
                                 const char *data, size_t size);
/* 1 while an offer of Zorv's is the selection (set and not yet taken by another client). */
typedef int (*ZorvWlClipOwned)(ZorvWlClip *clip);
/* Ends the thread and the connection; transfers under way are cut short. */
typedef void (*ZorvWlClipClose)(ZorvWlClip *clip);

ZORV_WLCLIP_EXPORT ZorvWlClip *zorv_wlclip_open(ZorvWlClipRequest request, void *userdata,
                                                char *error, int errorSize);
ZORV_WLCLIP_EXPORT int zorv_wlclip_set(ZorvWlClip *clip, int count, const char *const *types,
                                       const char *const *data, const size_t *sizes);
ZORV_WLCLIP_EXPORT void zorv_wlclip_supply(ZorvWlClip *clip, int generation, const char *type,
                                           const char *data, size_t size);
ZORV_WLCLIP_EXPORT int zorv_wlclip_owned(ZorvWlClip *clip);
ZORV_WLCLIP_EXPORT void zorv_wlclip_close(ZorvWlClip *clip);

#ifdef __cplusplus
}
#endif
