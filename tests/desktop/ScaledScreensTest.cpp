#include "DesktopSupport.h"

#include "capture/ScreenGeometry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

using namespace zorv;
using namespace zorv::desktop;

// The cases below need Qt started with per-screen scale factors, so this test
// runs them in a second copy of the program with QT_SCREEN_SCALE_FACTORS set.
TEST(ScaledScreens, CapturesWithMixedScaleFactors)
{
    REQUIRE_DESKTOP();
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        GTEST_SKIP() << "needs two monitors (desktop.sh --monitors 1920x1080,1920x1080)";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCREEN_SCALE_FACTORS", screens[0]->name() + "=1;" + screens[1]->name() + "=2");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=DISABLED_ScaledChild.*", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_TRUE(child.exitCode() == 0 && !output.contains("SKIPPED") &&
                output.contains("[  PASSED  ] 1 test"))
        << output.constData();
}

// Started by ScaledScreens.CapturesWithMixedScaleFactors.
TEST(DISABLED_ScaledChild, RegionsAcrossAndOwnWindowsOfTheScaledScreen)
{
    REQUIRE_DESKTOP();
    ASSERT_GE(QGuiApplication::screens().size(), 2);
    QScreen *scaled = QGuiApplication::screens()[1];
    ASSERT_EQ(scaled->devicePixelRatio(), 2.0);
    const uint32_t display = geometry().displayID(scaled);
    // Displays keep the screens' logical frames.
    EXPECT_EQ(geometry().screenForDisplayID(display), scaled);
    const QList<DisplayInfo> displays = captureService().displayInfos().value();
    for (const DisplayInfo &info : displays)
        EXPECT_TRUE(info.id != display || info.frame == QRectF(scaled->geometry()));
    EXPECT_EQ(ScreenGeometry::screenContaining(scaled->geometry().topLeft()), scaled);

    // The helper runs unscaled, so its pattern is laid out in X pixels.
    const QPoint origin = scaled->geometry().topLeft();
    HelperWindow pattern("zorv-scaled", QRect(origin + QPoint(0, 180), QSize(400, 300)));
    ASSERT_TRUE(pattern.ready());
    const QRect client = pattern.clientGeometry();
    // A region of the scaled screen has twice the pixels of exactly that region: an even-aligned
    // part of the client, so it is whole in logical units.
    const QRect part(client.x() + 2 + (client.x() - origin.x()) % 2,
                     client.y() + 2 + client.y() % 2, 200, 120);
    const QRectF logical(origin + QPointF(part.topLeft() - origin) / 2, QSizeF(part.size()) / 2);
    const CaptureResult full = captureService().capture(display, logical, 2.0);
    keep(full.value(), "scaled-region");
    EXPECT_EQ(full.value().size(), part.size());
    EXPECT_EQ(patternMismatches(full.value(), QRect(QPoint(0, 0), part.size()),
                                part.topLeft() - client.topLeft()),
              0);
    EXPECT_EQ(captureService().capture(display, logical, 1.0).value().size(), part.size() / 2);
    EXPECT_EQ(captureService()
                  .capture(display, QRectF(logical.topLeft(), QSizeF(50.25, 20.5)), 2.0)
                  .value()
                  .size(),
              QSize(101, 41));

    // An area across the screens uses the larger scale: 100 logical units on each side of the
    // edge, over the helper's rows; the scaled screen's half is its X pixels as they are.
    const int top = part.y();
    const CaptureResult across =
        captureService().capture(QRectF(origin.x() - 100, top / 2, 200, 50));
    keep(across.value(), "scaled-across");
    EXPECT_EQ(across.value().size(), QSize(400, 100));
    const QRect inClient = QRect(origin.x(), top, 200, 100) & client;
    ASSERT_GT(inClient.width(), 100);
    EXPECT_EQ(patternMismatches(across.value(),
                                QRect(QPoint(200 + inClient.x() - origin.x(), 0), inClient.size()),
                                inClient.topLeft() - client.topLeft()),
              0);

    // Own windows are left out on the scaled screen too.
    auto own = showOwnWindow(QRect(origin + QPoint(600, 100), QSize(200, 150)), Qt::magenta);
    ASSERT_TRUE(own);
    const CaptureResult whole = captureService().capture(display, QRectF(scaled->geometry()), 2.0);
    keep(whole.value(), "scaled-own-left-out");
    EXPECT_EQ(whole.value().size(), scaled->geometry().size() * 2);
    EXPECT_EQ(countColour(whole.value(), qRgb(255, 0, 255), 2), 0);
}
