#include "DesktopSupport.h"

#include "capture/ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>

using namespace zorv;
using namespace zorv::desktop;

TEST(Geometry, DisplaysAreTheMonitorsMatchedToScreensAndTheSharedEdgeIsTheRightOnes)
{
    REQUIRE_DESKTOP();
    const QList<DisplayInfo> displays = captureService().displayInfos().value();
    const QList<QScreen *> screens = QGuiApplication::screens();
    ASSERT_EQ(displays.size(), screens.size());
    QRectF all;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        EXPECT_EQ(displays[i].frame, QRectF(screens[i]->geometry()));
        EXPECT_EQ(geometry().displayID(screens[i]), displays[i].id);
        EXPECT_EQ(geometry().screenForDisplayID(displays[i].id), screens[i]);
        // The id is the atom that names the monitor.
        EXPECT_EQ(
            atomName(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(),
                     displays[i].id),
            screens[i]->name().toUtf8());
        all |= QRectF(screens[i]->geometry());
    }
    EXPECT_EQ(geometry().screenForDisplayID(1), nullptr);
    EXPECT_EQ(ScreenGeometry::unionFrame(), all);
    // Outside every screen: the primary one.
    EXPECT_EQ(ScreenGeometry::screenContaining({-50, -50}), QGuiApplication::primaryScreen());
    if (screens.size() < 2)
        GTEST_SKIP() << "needs two monitors side by side";
    const double edge = screens[1]->geometry().left();
    EXPECT_EQ(ScreenGeometry::screenContaining({edge, 10}), screens[1]);
    EXPECT_EQ(ScreenGeometry::screenContaining({edge - 0.5, 10}), screens[0]);
}
