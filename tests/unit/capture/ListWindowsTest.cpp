#include "capture/ScreenCaptureService.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
PlatformWindow window(uint32_t id, QSizeF size, QString title = "Title", QString app = "App",
                      int32_t pid = 100)
{
    return {id, QRectF(QPointF(10, 20), size), std::move(title), std::move(app), pid, 0, true};
}

QList<uint32_t> ids(const QList<WindowInfo> &windows)
{
    QList<uint32_t> result;
    for (const WindowInfo &w : windows)
        result.append(w.id);
    return result;
}
} // namespace

TEST(ListWindows, KeepsOrDropsEachWindowByTheRules)
{
    PlatformWindow hidden = window(1, {200, 200});
    hidden.onScreen = false;
    PlatformWindow dock = window(1, {200, 200});
    dock.layer = 20;
    PlatformWindow desktop = window(1, {200, 200});
    desktop.layer = -1000;
    const struct {
        const char *name;
        PlatformWindow window;
        bool kept;
    } cases[] = {
        {"exactly 60 x 40", window(1, {60, 40}), true},
        {"59.9 wide", window(1, {59.9, 40}), false},
        {"39.9 high", window(1, {60, 39.9}), false},
        {"off screen", hidden, false},
        {"dock layer", dock, false},
        {"negative layer", desktop, false},
        {"no title, named application", window(1, {100, 100}, {}, "App"), true},
        {"title, no application", window(1, {100, 100}, "T", {}), true},
        {"neither title nor application", window(1, {100, 100}, {}, {}), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScreenCaptureService::listWindows({c.window}, {1}, 1, true).size(),
                  c.kept ? 1 : 0)
            << c.name;
}

TEST(ListWindows, OwnWindowsAreLeftOutOnlyWhenAsked)
{
    const QList<PlatformWindow> windows{window(1, {100, 100}, {}, {"Mine"}, 500),
                                        window(2, {100, 100}, {}, {"Other"}, 600),
                                        window(3, {100, 100}, {}, {"NoPid"}, 0)};
    EXPECT_EQ(ids(ScreenCaptureService::listWindows(windows, {1, 2, 3}, 500, true)),
              (QList<uint32_t>{2, 3}));
    EXPECT_EQ(ids(ScreenCaptureService::listWindows(windows, {1, 2, 3}, 500, false)),
              (QList<uint32_t>{1, 2, 3}));
}

TEST(ListWindows, SortsByStackingWithUnknownWindowsLastInTheirOwnOrder)
{
    QList<PlatformWindow> windows;
    for (uint32_t id : {10u, 11u, 12u, 13u, 14u})
        windows.append(window(id, {100, 100}));
    // 13 is front-most; 11 twice keeps its front-most place; 10 and 14 are unknown.
    const QList<uint32_t> stacking{13, 11, 12, 11, 99};
    EXPECT_EQ(ids(ScreenCaptureService::listWindows(windows, stacking, 1, true)),
              (QList<uint32_t>{13, 11, 12, 10, 14}));
}
