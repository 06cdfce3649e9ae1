// Presses a key combination through XTEST and prints, on standard output, the
// wall-clock time in microseconds at which the X server had the press. The
// end-to-end benchmarks use it instead of xdotool, whose own start-up would be
// counted as Zorv's latency.
//
//   bench_presskey [--clipboard | --until dark|white X Y [--timeout MS]]
//                  KEYCODE [MODIFIER_KEYCODE…]     (X keycodes)
//       --clipboard then watches the CLIPBOARD selection from outside, as a
//       pasting program would, and prints two more wall-clock times on the
//       same line: when a new owner took the selection (an XFixes
//       notification, no polling) and when that owner answered a TARGETS
//       request; 0 for what did not happen within ten seconds.
//       --until polls the root window's pixel at X,Y after the press and
//       prints, after the press time, the microseconds until it turned dark
//       (every channel below 0xD0) or white (every channel at least 0xF8);
//       -1 on timeout (5 s unless given).
//   bench_presskey --click X Y [--until …]
//       moves the pointer to X,Y first and times a press of the left button
//       there instead of a key
//   bench_presskey --white-root
//       makes the desktop background white, also for compositing managers that
//       paint the root from _XROOTPMAP_ID (the pixmap outlives this program)
//   bench_presskey --compositing
//       prints 1 when a compositing manager runs, else 0
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

namespace
{

using Clock = std::chrono::steady_clock;

void roundTrip(xcb_connection_t *c)
{
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// One pixel of the root window as the server shows it: 0xRRGGBB, or -1.
long pixelAt(xcb_connection_t *c, xcb_window_t root, int x, int y)
{
    xcb_get_image_reply_t *reply = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(x), int16_t(y), 1, 1, ~0u),
        nullptr);
    if (!reply)
        return -1;
    long value = -1;
    if (xcb_get_image_data_length(reply) >= 4) {
        uint32_t pixel = 0;
        std::memcpy(&pixel, xcb_get_image_data(reply), 4);
        value = long(pixel & 0xFFFFFFu);
    }
    free(reply);
    return value;
}

bool isDark(long pixel)
{
    return pixel >= 0 && ((pixel >> 16) & 0xFF) < 0xD0 && ((pixel >> 8) & 0xFF) < 0xD0 &&
           (pixel & 0xFF) < 0xD0;
}

bool isWhite(long pixel)
{
    return pixel >= 0 && ((pixel >> 16) & 0xFF) >= 0xF8 && ((pixel >> 8) & 0xFF) >= 0xF8 &&
           (pixel & 0xFF) >= 0xF8;
}

long long nowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr),
        &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Waits for the next event of `type` (with the response type's top bit
// cleared), or returns null once `deadline` has passed or the connection broke.
xcb_generic_event_t *nextEvent(xcb_connection_t *c, uint8_t type, long long deadline)
{
    while (nowMicros() < deadline) {
        xcb_generic_event_t *event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c))
                return nullptr;
            // Sleeps until the server writes: a busy observer would slow what it times.
            pollfd socket{xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&socket, 1, int((deadline - nowMicros()) / 1000) + 1);
            continue;
        }
        if ((event->response_type & 0x7F) == type)
            return event;
        free(event);
    }
    return nullptr;
}

struct Watch {
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_atom_t clipboard = XCB_ATOM_NONE;
    xcb_atom_t targets = XCB_ATOM_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    uint8_t selectionNotify = 0; // the XFixes event code
};

bool startWatching(xcb_connection_t *c, xcb_window_t root, Watch &watch)
{
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return false;
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    watch.selectionNotify = uint8_t(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    watch.clipboard = atom(c, "CLIPBOARD");
    watch.targets = atom(c, "TARGETS");
    watch.property = atom(c, "ZORV_BENCH_TARGETS");
    watch.window = xcb_generate_id(c);
    xcb_create_window(c, 0, watch.window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_xfixes_select_selection_input(c, watch.window, watch.clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    return true;
}

// The time a new owner took the clipboard, then the time it answered TARGETS;
// 0 for what did not happen.
std::pair<long long, long long> watchClipboard(xcb_connection_t *c, const Watch &watch)
{
    const long long deadline = nowMicros() + 10000000;
    long long owned = 0;
    // Taking the clipboard again may first clear it: wait for a real owner.
    while (xcb_generic_event_t *event = nextEvent(c, watch.selectionNotify, deadline)) {
        auto *notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t *>(event);
        const bool hasOwner = notify->owner != XCB_WINDOW_NONE;
        free(event);
        if (hasOwner) {
            owned = nowMicros();
            break;
        }
    }
    if (!owned)
        return {0, 0};
    xcb_convert_selection(c, watch.window, watch.clipboard, watch.targets, watch.property,
                          XCB_CURRENT_TIME);
    xcb_flush(c);
    xcb_generic_event_t *event = nextEvent(c, XCB_SELECTION_NOTIFY, deadline);
    if (!event)
        return {owned, 0};
    const bool answered =
        reinterpret_cast<xcb_selection_notify_event_t *>(event)->property != XCB_ATOM_NONE;
    free(event);
    return {owned, answered ? nowMicros() : 0};
}
int whiteRoot(xcb_connection_t *c, xcb_screen_t *screen)
{
    // A full-size pixmap, as a wallpaper would be: whoever reads the root
    // background from it gets white everywhere.
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, screen->width_in_pixels,
                      screen->height_in_pixels);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t white = screen->white_pixel;
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &white);
    const xcb_rectangle_t all{0, 0, screen->width_in_pixels, screen->height_in_pixels};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
    xcb_free_gc(c, gc);
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    for (const char *name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, atom(c, name), XCB_ATOM_PIXMAP,
                            32, 1, &pixmap);
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    // The pixmap must stay after this client disconnects.
    xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
    roundTrip(c);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t root = screen->root;
    if (args.size() == 1 && args[0] == "--white-root")
        return whiteRoot(c, screen);
    if (args.size() == 1 && args[0] == "--compositing") {
        std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> owner(
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, "_NET_WM_CM_S0")),
                                          nullptr),
            &free);
        std::printf("%d\n", owner && owner->owner != XCB_WINDOW_NONE ? 1 : 0);
        return 0;
    }

    bool clipboard = false;
    std::string until;
    int px = 0, py = 0, timeoutMs = 5000;
    int clickX = -1, clickY = -1;
    size_t i = 0;
    while (i < args.size() && args[i].starts_with("--")) {
        if (args[i] == "--clipboard") {
            clipboard = true;
            ++i;
        } else if (args[i] == "--until" && i + 3 < args.size()) {
            until = args[i + 1];
            px = std::atoi(args[i + 2].c_str());
            py = std::atoi(args[i + 3].c_str());
            i += 4;
        } else if (args[i] == "--click" && i + 2 < args.size()) {
            clickX = std::atoi(args[i + 1].c_str());
            clickY = std::atoi(args[i + 2].c_str());
            i += 3;
        } else if (args[i] == "--timeout" && i + 1 < args.size()) {
            timeoutMs = std::atoi(args[i + 1].c_str());
            i += 2;
        } else {
            break;
        }
    }
    const bool click = clickX >= 0;
    if ((i >= args.size() && !click) || (!until.empty() && until != "dark" && until != "white") ||
        (clipboard && !until.empty())) {
        std::fprintf(stderr,
                     "usage: %s [--clipboard | --until dark|white X Y [--timeout MS]] KEYCODE "
                     "[MODIFIER_KEYCODE...]\n       %s [--until ...] --click X Y\n       %s "
                     "--white-root | --compositing\n",
                     argv[0], argv[0], argv[0]);
        return 2;
    }
    Watch watch;
    if (clipboard && !startWatching(c, root, watch)) {
        std::fprintf(stderr, "bench_presskey: the X server has no XFIXES\n");
        return 1;
    }
    const auto key = click ? xcb_keycode_t(0) : xcb_keycode_t(std::atoi(args[i].c_str()));
    std::vector<xcb_keycode_t> modifiers;
    for (size_t m = click ? args.size() : i + 1; m < args.size(); ++m)
        modifiers.push_back(xcb_keycode_t(std::atoi(args[m].c_str())));

    auto fake = [&](uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, root, 0, 0, 0);
    };
    for (xcb_keycode_t m : modifiers)
        fake(XCB_KEY_PRESS, m);
    if (click)
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, int16_t(clickX),
                            int16_t(clickY), 0);
    // Round trip so the modifiers are down (and the watch is in place) before the timed press.
    roundTrip(c);
    const long long pressed = nowMicros();
    const auto start = Clock::now();
    fake(click ? XCB_BUTTON_PRESS : XCB_KEY_PRESS, click ? 1 : key);
    xcb_flush(c);
    fake(click ? XCB_BUTTON_RELEASE : XCB_KEY_RELEASE, click ? 1 : key);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        fake(XCB_KEY_RELEASE, *it);
    xcb_flush(c);

    if (clipboard) {
        const auto [owned, answered] = watchClipboard(c, watch);
        xcb_disconnect(c);
        std::printf("%lld %lld %lld\n", pressed, owned, answered);
        return 0;
    }
    roundTrip(c);
    if (until.empty()) {
        xcb_disconnect(c);
        std::printf("%lld\n", pressed);
        return 0;
    }
    long long changedUs = -1;
    const bool wantDark = until == "dark";
    const auto limit = start + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < limit) {
        const long pixel = pixelAt(c, root, px, py);
        if (wantDark ? isDark(pixel) : isWhite(pixel)) {
            changedUs =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            break;
        }
        // A short pause leaves the server and Zorv the processor.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    xcb_disconnect(c);
    std::printf("%lld %lld\n", pressed, changedUs);
    return 0;
}
