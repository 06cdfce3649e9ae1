// Presses a key combination through XTEST and prints, on standard output, the
// wall-clock time in microseconds at which the X server had the press. The
// end-to-end benchmarks use it instead of xdotool, whose own start-up would be
// counted as Zorv's latency.
//
//   bench_presskey [--clipboard] KEYCODE [MODIFIER_KEYCODE…]     (X keycodes)
//
// With --clipboard it then watches the CLIPBOARD selection from outside, as a
// pasting program would, and prints two more times on the same line: when a
// new owner took the selection (an XFixes notification, no polling) and when
// that owner answered a TARGETS request. It gives up after ten seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

namespace
{
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
} // namespace

int main(int argc, char **argv)
{
    int first = 1;
    const bool clipboard = argc > 1 && std::strcmp(argv[1], "--clipboard") == 0;
    if (clipboard)
        ++first;
    if (argc <= first) {
        std::fprintf(stderr, "usage: %s [--clipboard] KEYCODE [MODIFIER_KEYCODE...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    Watch watch;
    if (clipboard && !startWatching(c, root, watch)) {
        std::fprintf(stderr, "bench_presskey: the X server has no XFIXES\n");
        return 1;
    }
    std::vector<xcb_keycode_t> modifiers;
    for (int i = first + 1; i < argc; ++i)
        modifiers.push_back(xcb_keycode_t(std::atoi(argv[i])));
    const auto key = xcb_keycode_t(std::atoi(argv[first]));
    auto fake = [&](uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, root, 0, 0, 0);
    };
    for (xcb_keycode_t m : modifiers)
        fake(XCB_KEY_PRESS, m);
    // Round trip so the modifiers are down (and the watch is in place) before the timed press.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const long long pressed = nowMicros();
    fake(XCB_KEY_PRESS, key);
    xcb_flush(c);
    fake(XCB_KEY_RELEASE, key);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        fake(XCB_KEY_RELEASE, *it);
    xcb_flush(c);
    if (!clipboard) {
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        xcb_disconnect(c);
        std::printf("%lld\n", pressed);
        return 0;
    }
    const auto [owned, answered] = watchClipboard(c, watch);
    xcb_disconnect(c);
    std::printf("%lld %lld %lld\n", pressed, owned, answered);
    return 0;
}
