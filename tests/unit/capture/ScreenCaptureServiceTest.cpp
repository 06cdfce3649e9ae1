#include "capture/ScreenCaptureService.h"
#include "support/fake/FakePlatform.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
PlatformWindow window(uint32_t id, QSizeF size, QString title = "T", QString app = "A",
                      int32_t pid = 100, int layer = 0, bool onScreen = true)
{
    return {id, QRectF(QPointF(10, 20), size), title, app, pid, layer, onScreen};
}

class CaptureServiceTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        fake.displayList = {{1, QRectF(0, 0, 800, 600)}, {2, QRectF(800, 0, 640, 480)}};
        fake.windowList = {PlatformWindow{5, QRectF(0, 0, 100, 100), "t", "a", 1, 0, true}};
    }

    FakeScreenBackend fake;
    ScreenCaptureService service{fake};
};
} // namespace

TEST(ListWindows, KeepsOrDropsEachWindowByTheRules)
{
    const std::pair<PlatformWindow, bool> cases[] = {
        {window(1, {60, 40}), true}, // exactly the smallest size
        {window(1, {59.9, 40}), false},
        {window(1, {60, 39.9}), false},
        {window(1, {200, 200}, "T", "A", 100, 0, false), false}, // off screen
        {window(1, {200, 200}, "T", "A", 100, 20), false},       // a dock
        {window(1, {200, 200}, "T", "A", 100, -1000), false},    // below normal windows
        {window(1, {100, 100}, {}, "App"), true},                // named by its application
        {window(1, {100, 100}, "T", {}), true},                  // or by its title
        {window(1, {100, 100}, {}, {}), false}};
    for (size_t row = 0; row < std::size(cases); ++row)
        EXPECT_EQ(ScreenCaptureService::listWindows({cases[row].first}, {1}, 1, true).size(),
                  cases[row].second ? 1 : 0)
            << "row " << row;
}

TEST(ListWindows, SortsByStackingAndLeavesOutOwnWindowsOnlyWhenAsked)
{
    QList<PlatformWindow> windows;
    for (const auto &[id, pid] :
         {std::pair{10u, 600}, {11u, 600}, {12u, 500}, {13u, 600}, {14u, 0}})
        windows.append(window(id, {100, 100}, "T", "A", pid));
    // 13 is front-most; 11 twice keeps its front-most place; 10 and 14 are unknown.
    const QList<uint32_t> stacking{13, 11, 12, 11, 99};
    const auto ids = [&](bool excludingOwn) {
        QList<uint32_t> result;
        for (const WindowInfo &w :
             ScreenCaptureService::listWindows(windows, stacking, 500, excludingOwn))
            result.append(w.id);
        return result;
    };
    EXPECT_EQ(ids(false), (QList<uint32_t>{13, 11, 12, 10, 14}));
    // Ours are those of our process; a window of no known process is not.
    EXPECT_EQ(ids(true), (QList<uint32_t>{13, 11, 10, 14}));
}

TEST_F(CaptureServiceTest, TooSmallAreaOrUnknownTargetFailsBeforeAskingThePlatform)
{
    for (const QRectF rect : {QRectF(0, 0, 0.4, 100), QRectF(0, 0, 100, 0.99), QRectF()})
        EXPECT_EQ(service.capture(rect).error().code(), CaptureError::Code::imageUnavailable);
    EXPECT_EQ(service.capture(9, QRectF(0, 0, 10, 10), 1).error().code(),
              CaptureError::Code::noDisplay);
    EXPECT_EQ(service.capture(9, 1.0).error().code(), CaptureError::Code::noDisplay);
    EXPECT_EQ(service.captureWindow(6, 1, true).error().code(), CaptureError::Code::noWindow);
    EXPECT_EQ(fake.grabCount, 0);
    EXPECT_TRUE(service.capture(QRectF(5, 5, 1, 1)));
}

TEST_F(CaptureServiceTest, ADisplayIsCapturedWholeAndFailuresPassThrough)
{
    const QImage display = service.capture(2, 1.0).value();
    EXPECT_EQ(display.size(), QSize(640, 480));
    // The fake paints each pixel with its global position.
    EXPECT_EQ(display.pixel(0, 0), FakeScreenBackend::pixelAt({800.5, 0.5}));
    EXPECT_EQ(display.pixel(639, 479), FakeScreenBackend::pixelAt({1439.5, 479.5}));

    const CaptureError failure(CaptureError::Code::platform, "server went away");
    fake.failure = failure;
    EXPECT_EQ(service.capture(QRectF(0, 0, 10, 10)).error(), failure);
    EXPECT_EQ(service.capture(1, QRectF(0, 0, 10, 10), 1).error(), failure);
}
