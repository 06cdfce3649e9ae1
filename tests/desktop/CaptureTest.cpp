#include "DesktopSupport.h"

#include <QScreen>
#include <csignal>

using namespace zorv;
using namespace zorv::desktop;

TEST(Capture, OwnWindowsAreLeftOutOfDisplayCaptures)
{
    REQUIRE_DESKTOP();
    const QRgb green = qRgb(0x20, 0xC0, 0x40), magenta = qRgb(255, 0, 255);
    HelperWindow other(QStringLiteral("zorv-under"), QRect(200, 200, 600, 400), QColor(green));
    ASSERT_TRUE(other.ready());
    auto own = showOwnWindow(QRect(300, 300, 300, 200), Qt::magenta);
    ASSERT_TRUE(own);
    QScreen *screen = own->screen();
    // As the screen shows it, our window is there …
    ASSERT_GT(countColour(screen->grabWindow(0).toImage(), magenta), 300 * 200 / 2);

    // … and a display capture leaves it out, showing what lies beneath.
    const QImage result = captureService()
                              .capture(geometry().displayID(screen), QRectF(screen->geometry()),
                                       screen->devicePixelRatio())
                              .value();
    keep(result, QStringLiteral("own-window-left-out"));
    EXPECT_EQ(result.size(), screen->geometry().size());
    EXPECT_EQ(countColour(result, magenta), 0);
    const QPoint middle = own->geometry().center() - screen->geometry().topLeft();
    EXPECT_EQ(result.pixel(middle) & 0xFFFFFF, green & 0xFFFFFF);
    // The area capture leaves it out too.
    EXPECT_EQ(countColour(captureService().capture(QRectF(own->frameGeometry())).value(), magenta),
              0);
}

TEST(Capture, ACoveredWindowIsCapturedWithItsOwnPixels)
{
    REQUIRE_DESKTOP();
    HelperWindow covered(QStringLiteral("zorv-covered"), QRect(100, 120, 300, 200));
    ASSERT_TRUE(covered.ready());
    // Stopped, it cannot repaint what the cover hides: the pixels must be kept.
    ::kill(pid_t(covered.pid()), SIGSTOP);
    HelperWindow cover(QStringLiteral("zorv-cover"), QRect(180, 160, 300, 200), QColor(Qt::blue));
    ASSERT_TRUE(cover.ready());
    const std::optional<WindowInfo> info = listed(covered.id());
    ASSERT_TRUE(info);

    const CaptureResult result = captureService().captureWindow(covered.id(), 1.0, false);
    ::kill(pid_t(covered.pid()), SIGCONT);
    const QImage image = result.value();
    keep(image, QStringLiteral("covered-window"));
    EXPECT_EQ(image.size(), info->frame.size().toSize());
    const QPoint offset = covered.clientGeometry().topLeft() - info->frame.topLeft().toPoint();
    EXPECT_EQ(patternMismatches(image, QRect(offset, covered.clientGeometry().size())), 0);
}

TEST(Capture, ACaptureKeepsItsPixelsWhileLaterOnesReuseFreedMemory)
{
    REQUIRE_DESKTOP();
    QScreen *screen = QGuiApplication::primaryScreen();
    const uint32_t display = desktop::geometry().displayID(screen);
    const QRect frame(150, 150, 300, 200);
    const QPoint middle = frame.center() - screen->geometry().topLeft();
    const auto grab = [&] {
        const CaptureResult result = desktop::captureService().capture(display, 1.0);
        return result ? result.value() : QImage();
    };
    const auto colourAt = [&](const QImage &image) { return image.pixel(middle) & 0xFFFFFF; };
    const QRgb red = qRgb(0xD0, 0x20, 0x20), blue = qRgb(0x20, 0x40, 0xD0),
               green = qRgb(0x20, 0xC0, 0x40);

    HelperWindow first(QStringLiteral("zorv-first"), frame, QColor(red));
    ASSERT_TRUE(first.ready());
    const QImage held = grab();
    ASSERT_EQ(colourAt(held), red & 0xFFFFFF);

    // While the first capture is held, the next one must not write over it.
    HelperWindow second(QStringLiteral("zorv-second"), frame, QColor(blue));
    ASSERT_TRUE(second.ready());
    QImage next = grab();
    EXPECT_EQ(colourAt(next), blue & 0xFFFFFF);
    EXPECT_EQ(colourAt(held), red & 0xFFFFFF);
    EXPECT_NE(next.constBits(), held.constBits());

    // Once nobody holds a capture, the next one of that size reuses its memory
    // and shows the screen as it is now.
    const uchar *released = next.constBits();
    next = QImage();
    HelperWindow third(QStringLiteral("zorv-third"), frame, QColor(green));
    ASSERT_TRUE(third.ready());
    QImage last = grab();
    EXPECT_EQ(last.constBits(), released);
    EXPECT_EQ(colourAt(last), green & 0xFFFFFF);
    EXPECT_EQ(colourAt(held), red & 0xFFFFFF);

    // An area in between (as after a frozen screen) leaves the screen's memory
    // for the next screen.
    released = last.constBits();
    last = QImage();
    const CaptureResult area =
        desktop::captureService().capture(display, QRectF(third.clientGeometry()), 1.0);
    ASSERT_TRUE(area);
    EXPECT_EQ(area.value().pixel(area.value().rect().center()) & 0xFFFFFF, green & 0xFFFFFF);
    EXPECT_EQ(grab().constBits(), released);
}
