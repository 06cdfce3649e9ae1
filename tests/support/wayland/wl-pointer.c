/* zorv-wl-pointer: pointer input for journeys on the headless Wayland desktop.
 *
 * The headless compositor has no pointer device, and moving its cursor through the
 * compositor's IPC reaches no client. This client creates a pointer through
 * zwlr_virtual_pointer_v1 instead, which clients see as real input.
 *
 *   zorv-wl-pointer STEP...
 *     move X Y        absolute position in the output layout (logical pixels)
 *     by DX DY        relative motion
 *     press B | release B | click B     B: left, right, middle or an evdev code
 *     scroll N        N wheel notches (positive: down)
 *     wait MS         pause, after the compositor has handled what came before
 *
 * The protocol's interfaces are declared here by hand, so the build needs no scanner and no
 * protocol files; only the requests used are listed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

static const struct wl_interface pointer_iface;
static const struct wl_interface *types[] = {
    NULL, NULL, NULL, NULL, NULL, &wl_seat_interface, &pointer_iface};
/* Request numbers are the order in the protocol; the table must keep it. */
enum {
    MOTION,
    MOTION_ABSOLUTE,
    BUTTON,
    AXIS,
    FRAME,
    AXIS_SOURCE,
    AXIS_STOP,
    AXIS_DISCRETE,
    DESTROY
};
static const struct wl_message pointer_requests[] = {
    {"motion", "uff", types},   {"motion_absolute", "uuuuu", types},
    {"button", "uuu", types},   {"axis", "uuf", types},
    {"frame", "", types},       {"axis_source", "u", types},
    {"axis_stop", "uu", types}, {"axis_discrete", "uufi", types},
    {"destroy", "", types},
};
static const struct wl_interface pointer_iface = {"zwlr_virtual_pointer_v1", 1, 9,
                                                  pointer_requests,          0, NULL};
static const struct wl_message manager_requests[] = {{"create_virtual_pointer", "?on", types + 5},
                                                     {"destroy", "", types}};
static const struct wl_interface manager_iface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, manager_requests, 0, NULL};

static struct wl_proxy *manager;
static struct wl_seat *seat;
/* Absolute motion is relative to the bounding box of all outputs. */
struct output {
    int32_t x, y, w, h;
};
static struct output outputs[16];
static int output_count;

static void output_geometry(void *d, struct wl_output *o, int32_t x, int32_t y, int32_t pw,
                            int32_t ph, int32_t subpixel, const char *make, const char *model,
                            int32_t transform)
{
    struct output *out = d;
    out->x = x;
    out->y = y;
}

static void output_mode(void *d, struct wl_output *o, uint32_t flags, int32_t w, int32_t h,
                        int32_t refresh)
{
    struct output *out = d;
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        out->w = w;
        out->h = h;
    }
}

static const struct wl_output_listener output_listener = {
    .geometry = output_geometry, .mode = output_mode}; /* version 1: no other events */

static void global(void *d, struct wl_registry *r, uint32_t name, const char *iface, uint32_t v)
{
    if (strcmp(iface, manager_iface.name) == 0) {
        manager = wl_registry_bind(r, name, &manager_iface, 1);
    } else if (strcmp(iface, "wl_seat") == 0 && !seat) {
        seat = wl_registry_bind(r, name, &wl_seat_interface, 1);
    } else if (strcmp(iface, "wl_output") == 0) {
        if (output_count == sizeof outputs / sizeof outputs[0])
            return;
        struct wl_output *o = wl_registry_bind(r, name, &wl_output_interface, 1);
        wl_output_add_listener(o, &output_listener, &outputs[output_count++]);
    }
}

static void global_remove(void *d, struct wl_registry *r, uint32_t name) {}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static uint32_t now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

static uint32_t button_code(const char *s)
{
    if (strcmp(s, "left") == 0)
        return 0x110;
    if (strcmp(s, "right") == 0)
        return 0x111;
    if (strcmp(s, "middle") == 0)
        return 0x112;
    return (uint32_t)strtoul(s, NULL, 0);
}

static void button(struct wl_proxy *p, uint32_t code, uint32_t pressed)
{
    wl_proxy_marshal_flags(p, BUTTON, NULL, 1, 0, now_ms(), code, pressed);
}

int main(int argc, char **argv)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "zorv-wl-pointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display); /* globals */
    wl_display_roundtrip(display); /* the outputs' geometry and mode */
    int32_t extent_w = 0, extent_h = 0;
    for (int i = 0; i < output_count; i++) {
        if (outputs[i].x + outputs[i].w > extent_w)
            extent_w = outputs[i].x + outputs[i].w;
        if (outputs[i].y + outputs[i].h > extent_h)
            extent_h = outputs[i].y + outputs[i].h;
    }
    if (!manager || !seat || extent_w <= 0 || extent_h <= 0) {
        fprintf(stderr, "zorv-wl-pointer: the compositor offers no virtual pointer or output\n");
        return 1;
    }
    struct wl_proxy *p = wl_proxy_marshal_flags(manager, 0, &pointer_iface, 1, 0, seat, NULL);
    wl_display_roundtrip(display);
    usleep(100 * 1000); /* clients bind the seat's new pointer capability first */

    for (int i = 1; i < argc; i++) {
        const char *step = argv[i];
        int has1 = i + 1 < argc, has2 = i + 2 < argc;
        if (strcmp(step, "move") == 0 && has2) {
            wl_proxy_marshal_flags(p, MOTION_ABSOLUTE, NULL, 1, 0, now_ms(),
                                   (uint32_t)atoi(argv[i + 1]), (uint32_t)atoi(argv[i + 2]),
                                   (uint32_t)extent_w, (uint32_t)extent_h);
            i += 2;
        } else if (strcmp(step, "by") == 0 && has2) {
            wl_proxy_marshal_flags(p, MOTION, NULL, 1, 0, now_ms(),
                                   wl_fixed_from_int(atoi(argv[i + 1])),
                                   wl_fixed_from_int(atoi(argv[i + 2])));
            i += 2;
        } else if ((strcmp(step, "press") == 0 || strcmp(step, "release") == 0) && has1) {
            button(p, button_code(argv[++i]), step[0] == 'p');
        } else if (strcmp(step, "click") == 0 && has1) {
            uint32_t code = button_code(argv[++i]);
            button(p, code, 1);
            wl_proxy_marshal_flags(p, FRAME, NULL, 1, 0);
            wl_display_roundtrip(display);
            usleep(20 * 1000); /* toolkits ignore a press and release in the same instant */
            button(p, code, 0);
        } else if (strcmp(step, "scroll") == 0 && has1) {
            int n = atoi(argv[++i]);
            wl_proxy_marshal_flags(p, AXIS_DISCRETE, NULL, 1, 0, now_ms(), 0,
                                   wl_fixed_from_int(15 * n), n);
        } else if (strcmp(step, "wait") == 0 && has1) {
            wl_display_roundtrip(display);
            usleep(1000 * (useconds_t)atoi(argv[++i]));
            continue;
        } else {
            fprintf(stderr, "zorv-wl-pointer: cannot read step '%s'\n", step);
            return 2;
        }
        wl_proxy_marshal_flags(p, FRAME, NULL, 1, 0);
        wl_display_roundtrip(display);
    }
    wl_proxy_marshal_flags(p, DESTROY, NULL, 1, WL_MARSHAL_FLAG_DESTROY);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
