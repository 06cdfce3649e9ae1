#include "DesktopSupport.h"

#include "capture/ScreenCaptureService.h"
#include "capture/ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>

using namespace zorv;
using namespace zorv::desktop;

TEST(Geometry, DisplaysAreTheMonitorsMatchedToScreens)
{
    REQUIRE_DESKTOP();
    const auto displays = desktop::captureService().displayInfos();
    ASSERT_TRUE(displays);
    const QList<QScreen *> screens = QGuiApplication::screens();
    ASSERT_EQ(displays.value().size(), screens.size());
    for (qsizetype i = 0; i < screens.size(); ++i) {
        EXPECT_EQ(displays.value()[i].frame, QRectF(screens[i]->geometry()));
        EXPECT_EQ(desktop::geometry().displayID(screens[i]), displays.value()[i].id);
        EXPECT_EQ(desktop::geometry().screenForDisplayID(displays.value()[i].id), screens[i]);
        // The id is the atom that names the monitor.
        EXPECT_EQ(
            atomName(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(),
                     displays.value()[i].id),
            screens[i]->name().toUtf8());
    }
    EXPECT_EQ(desktop::geometry().screenForDisplayID(1), nullptr);
}

TEST(Geometry, TheSharedEdgeBelongsToTheRightHandScreen)
{
    REQUIRE_DESKTOP();
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        GTEST_SKIP() << "needs two monitors side by side";
    const QRectF right(screens[1]->geometry());
    const double edge = right.left();
    EXPECT_EQ(ScreenGeometry::screenContaining({edge, 10}), screens[1]);
    EXPECT_EQ(ScreenGeometry::screenContaining({edge - 0.5, 10}), screens[0]);
    // Outside every screen: the primary one.
    EXPECT_EQ(ScreenGeometry::screenContaining({-50, -50}), QGuiApplication::primaryScreen());
    QRectF all;
    for (QScreen *screen : screens)
        all |= QRectF(screen->geometry());
    EXPECT_EQ(ScreenGeometry::unionFrame(), all);
}
