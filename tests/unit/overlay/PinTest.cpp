#include "output/pins/PinContentView.h"
#include "output/pins/PinGeometry.h"
#include "output/pins/PinWindowController.h"
#include "support/fake/FakeWindowSystem.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;
namespace P = zorv::PinGeometry;

TEST(PinGeometry, InitialSizeFitsNineHundredBySevenHundredAndNeverGrows)
{
    struct Case {
        QSize pixels;
        QSizeF image;
        QSizeF window;
    } cases[] = {
        {{1800, 1000}, {900, 500}, {900, 500}},
        {{400, 300}, {400, 300}, {400, 300}},
        {{2000, 3000}, {2000 * 700.0 / 3000, 700}, {2000 * 700.0 / 3000, 700}},
        // Tiny and thin images still get a usable window.
        {{1, 1}, {1, 1}, {48, 48}},
        {{10, 200}, {10, 200}, {48, 200}},
        {{40000, 2}, {900, 0.045}, {900, 48}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(P::initialImageSize(c.pixels), c.image) << c.pixels.width();
        EXPECT_EQ(P::windowSize(P::initialImageSize(c.pixels)), c.window) << c.pixels.width();
    }
}

TEST(PinGeometry, ResizingKeepsTheAspectRatioAndTheFloors)
{
    const QPointF anchor(100, 200);
    // 2:1 pin dragged 200 points left from a width of 250: width floor 80,
    // height 40, window kept at least 48 high.
    EXPECT_EQ(P::resizedFrame(anchor, 250, 500, 300, 2.0), QRectF(100, 200, 80, 48));
    EXPECT_EQ(P::resizedFrame(anchor, 250, 500, 650, 2.0), QRectF(100, 200, 400, 200));
    EXPECT_EQ(P::resizedFrame(anchor, 400, 0, 0, 4.0 / 3.0), QRectF(100, 200, 400, 300));
    // An extremely tall image cannot produce an impossible window.
    const QRectF tall = P::resizedFrame(anchor, 48, 0, 0, 0.0001);
    EXPECT_LE(tall.height(), P::largestSide);
    EXPECT_GE(tall.width(), P::smallestSide);
    // A zero aspect does not divide by zero.
    EXPECT_TRUE(std::isfinite(P::resizedFrame(anchor, 100, 0, 0, 0.0).height()));
}

TEST(PinGeometry, ImageFillsTheWindowUnlessPadded)
{
    EXPECT_EQ(P::imageRect(QSizeF(467, 700), QSize(2000, 3000)), QRectF(0, 0, 467, 700));
    EXPECT_EQ(P::imageRect(QSizeF(80, 48), QSize(200, 100)), QRectF(0, 4, 80, 40));
    EXPECT_EQ(P::imageRect(QSizeF(48, 48), QSize(1, 1)), QRectF(0, 0, 48, 48));
}

TEST(PinGeometry, HitZones)
{
    const QSizeF window(300, 200);
    EXPECT_TRUE(P::inResizeZone({285, 185}, window));
    EXPECT_TRUE(P::inResizeZone({280, 180}, window));
    EXPECT_FALSE(P::inResizeZone({279, 190}, window));
    EXPECT_TRUE(P::inResizeCursorZone({295, 195}, window));
    EXPECT_FALSE(P::inResizeCursorZone({285, 185}, window));
}

namespace
{

struct PinFixture : ::testing::Test {
    FakeWindowSystem windows;
    void TearDown() override
    {
        for (PinWindowController *pin : PinWindowController::pins())
            pin->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static QImage image(int w, int h)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::blue);
        return img;
    }

    static void press(QWidget *widget, QPointF at)
    {
        QMouseEvent event(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }
};

} // namespace

TEST_F(PinFixture, PinsCloseIndependentlyAndNeedAnImage)
{
    auto *a = PinWindowController::pin(image(400, 300), windows, {});
    auto *b = PinWindowController::pin(image(1800, 1000), windows, {});
    b->close();
    EXPECT_EQ(PinWindowController::pins(), QList<PinWindowController *>{a});
    EXPECT_TRUE(a->window()->isVisible());
    EXPECT_EQ(PinWindowController::pin(QImage(), windows, {}), nullptr);
}

TEST_F(PinFixture, CloseButtonNeedsHoverElseTheClickMoves)
{
    auto *pin = PinWindowController::pin(image(400, 300), windows, {});
    PinContentView *view = pin->window();
    press(view, {15, 15});
    EXPECT_TRUE(std::holds_alternative<PinContentView::Moving>(view->dragMode()));
    EXPECT_EQ(PinWindowController::pins().size(), 1);

    QEnterEvent enter(QPointF(15, 15), QPointF(15, 15), view->mapToGlobal(QPointF(15, 15)));
    QCoreApplication::sendEvent(view, &enter);
    press(view, {390, 290});
    EXPECT_TRUE(std::holds_alternative<PinContentView::Resizing>(view->dragMode()));
    press(view, {15, 15});
    EXPECT_TRUE(PinWindowController::pins().isEmpty());
}
