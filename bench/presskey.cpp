// Presses a key combination through XTEST and prints, on standard output, the
// wall-clock time in microseconds at which the X server had the press. The
// end-to-end benchmarks use it instead of xdotool, whose own start-up would be
// counted as Zorv's latency.
//
//   bench_presskey KEYCODE [MODIFIER_KEYCODE…]     (X keycodes)
//   bench_presskey --until dark|white X Y [--timeout MS] KEYCODE [MODIFIER_KEYCODE…]
//       also polls the root window's pixel at X,Y after the press and prints,
//       after the press time, the microseconds until it turned dark (every
//       channel below 0xD0) or white (every channel at least 0xF8); -1 on timeout
//   bench_presskey --white-root
//       makes the desktop background white, also for compositing managers that
//       paint the root from _XROOTPMAP_ID (the pixmap outlives this program)
//   bench_presskey --compositing
//       prints 1 when a compositing manager runs, else 0
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include <xcb/xcb.h>
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

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
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
        xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
            c, xcb_get_selection_owner(c, atom(c, "_NET_WM_CM_S0")), nullptr);
        std::printf("%d\n", owner && owner->owner != XCB_WINDOW_NONE ? 1 : 0);
        free(owner);
        return 0;
    }

    std::string until;
    int px = 0, py = 0, timeoutMs = 5000;
    size_t i = 0;
    while (i < args.size() && args[i].starts_with("--")) {
        if (args[i] == "--until" && i + 3 < args.size()) {
            until = args[i + 1];
            px = std::atoi(args[i + 2].c_str());
            py = std::atoi(args[i + 3].c_str());
            i += 4;
        } else if (args[i] == "--timeout" && i + 1 < args.size()) {
            timeoutMs = std::atoi(args[i + 1].c_str());
            i += 2;
        } else {
            break;
        }
    }
    if (i >= args.size() || (!until.empty() && until != "dark" && until != "white")) {
        std::fprintf(stderr,
                     "usage: %s [--until dark|white X Y] [--timeout MS] KEYCODE "
                     "[MODIFIER_KEYCODE...]\n       %s --white-root | --compositing\n",
                     argv[0], argv[0]);
        return 2;
    }
    const auto key = xcb_keycode_t(std::atoi(args[i].c_str()));
    std::vector<xcb_keycode_t> modifiers;
    for (size_t m = i + 1; m < args.size(); ++m)
        modifiers.push_back(xcb_keycode_t(std::atoi(args[m].c_str())));

    auto fake = [&](uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, root, 0, 0, 0);
    };
    for (xcb_keycode_t m : modifiers)
        fake(XCB_KEY_PRESS, m);
    // Round trip so the modifiers are down before the timed press.
    roundTrip(c);
    const auto pressed = std::chrono::system_clock::now();
    const auto start = Clock::now();
    fake(XCB_KEY_PRESS, key);
    xcb_flush(c);
    fake(XCB_KEY_RELEASE, key);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        fake(XCB_KEY_RELEASE, *it);
    roundTrip(c);

    long long changedUs = -1;
    if (!until.empty()) {
        const bool wantDark = until == "dark";
        const auto limit = start + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < limit) {
            const long pixel = pixelAt(c, root, px, py);
            if (wantDark ? isDark(pixel) : isWhite(pixel)) {
                changedUs =
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start)
                        .count();
                break;
            }
            // A short pause leaves the server and Zorv the processor.
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    xcb_disconnect(c);
    const long long pressedUs =
        std::chrono::duration_cast<std::chrono::microseconds>(pressed.time_since_epoch()).count();
    if (until.empty())
        std::printf("%lld\n", pressedUs);
    else
        std::printf("%lld %lld\n", pressedUs, changedUs);
    return 0;
}
