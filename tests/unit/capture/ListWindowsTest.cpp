#include "capture/ScreenCaptureService.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
PlatformWindow window(uint32_t id, QSizeF size, QString title = "Title", QString app = "App",
                      int32_t pid = 100, int layer = 0, bool onScreen = true)
{
    return {id,      QRectF(QPointF(10, 20), size), std::move(title), std::move(app), pid, layer,
            onScreen};
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
    const struct {
        const char *name;
        PlatformWindow window;
        bool kept;
    } cases[] = {
        {"exactly 60 x 40", window(1, {60, 40}), true},
        {"59.9 wide", window(1, {59.9, 40}), false},
        {"39.9 high", window(1, {60, 39.9}), false},
        {"off screen", window(1, {200, 200}, "T", "A", 100, 0, false), false},
        {"dock layer", window(1, {200, 200}, "T", "A", 100, 20), false},
        {"negative layer", window(1, {200, 200}, "T", "A", 100, -1000), false},
        {"no title, named application", window(1, {100, 100}, {}, "App"), true},
        {"title, no application", window(1, {100, 100}, "T", {}), true},
        {"neither title nor application", window(1, {100, 100}, {}, {}), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScreenCaptureService::listWindows({c.window}, {1}, 1, true).size(),
                  c.kept ? 1 : 0)
            << c.name;
}

TEST(ListWindows, SortsByStackingAndLeavesOutOwnWindowsOnlyWhenAsked)
{
    QList<PlatformWindow> windows;
    for (const auto &[id, pid] :
         {std::pair{10u, 600}, {11u, 600}, {12u, 500}, {13u, 600}, {14u, 0}})
        windows.append(window(id, {100, 100}, "T", "A", pid));
    // 13 is front-most; 11 twice keeps its front-most place; 10 and 14 are unknown.
    const QList<uint32_t> stacking{13, 11, 12, 11, 99};
    EXPECT_EQ(ids(ScreenCaptureService::listWindows(windows, stacking, 500, false)),
              (QList<uint32_t>{13, 11, 12, 10, 14}));
    // Ours are those of our process; a window of no known process is not.
    EXPECT_EQ(ids(ScreenCaptureService::listWindows(windows, stacking, 500, true)),
              (QList<uint32_t>{13, 11, 10, 14}));
}
