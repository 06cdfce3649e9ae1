#include "capture/ScreenCaptureService.h"
#include "support/fake/FakePlatform.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
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

TEST_F(CaptureServiceTest, CapturesAreRoundedToWholePixelsOfTheirDisplay)
{
    EXPECT_EQ(service.capture(1, QRectF(10, 10, 100.5, 50.25), 2).value().size(), QSize(201, 101));
    EXPECT_EQ(service.captureWindow(5, 2, false).value().size(), QSize(200, 200));
    const CaptureResult display = service.capture(2, 1.0);
    ASSERT_TRUE(display);
    EXPECT_EQ(display.value().size(), QSize(640, 480));
    // The fake paints each pixel with its global position.
    EXPECT_EQ(display.value().pixel(0, 0), FakeScreenBackend::pixelAt({800.5, 0.5}));
    EXPECT_EQ(display.value().pixel(639, 479), FakeScreenBackend::pixelAt({1439.5, 479.5}));
}

TEST_F(CaptureServiceTest, PlatformFailuresPassThroughUnchanged)
{
    const CaptureError failure(CaptureError::Code::platform, "server went away");
    fake.failure = failure;
    EXPECT_EQ(service.capture(QRectF(0, 0, 10, 10)).error(), failure);
    EXPECT_EQ(service.capture(1, QRectF(0, 0, 10, 10), 1).error(), failure);
}
