// Presses a key combination through XTEST and prints, on standard output, the
// wall-clock time in microseconds at which the X server had the press. The
// end-to-end benchmarks use it instead of xdotool, whose own start-up would be
// counted as Zorv's latency.
//
//   bench_presskey KEYCODE [MODIFIER_KEYCODE…]     (X keycodes)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s KEYCODE [MODIFIER_KEYCODE...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::vector<xcb_keycode_t> modifiers;
    for (int i = 2; i < argc; ++i)
        modifiers.push_back(xcb_keycode_t(std::atoi(argv[i])));
    const auto key = xcb_keycode_t(std::atoi(argv[1]));
    auto fake = [&](uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, root, 0, 0, 0);
    };
    for (xcb_keycode_t m : modifiers)
        fake(XCB_KEY_PRESS, m);
    // Round trip so the modifiers are down before the timed press.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const auto pressed = std::chrono::system_clock::now();
    fake(XCB_KEY_PRESS, key);
    xcb_flush(c);
    fake(XCB_KEY_RELEASE, key);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        fake(XCB_KEY_RELEASE, *it);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    std::printf("%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                           pressed.time_since_epoch())
                                           .count()));
    return 0;
}
