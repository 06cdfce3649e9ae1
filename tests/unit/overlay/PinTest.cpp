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

TEST(PinGeometry, ResizingAndPaddingKeepTheFloorsAndTheCeiling)
{
    const QPointF anchor(100, 200);
    // 2:1 pin dragged 200 points left from a width of 250: width floor 80,
    // height 40, window kept at least 48 high.
    EXPECT_EQ(P::resizedFrame(anchor, 250, 500, 300, 2.0), QRectF(100, 200, 80, 48));
    // A tall pin dragged far stops at the largest side and still keeps its aspect.
    EXPECT_EQ(P::resizedFrame(anchor, 400, 0, 20000, 0.25).size(), QSizeF(4096, 16384));
    // A zero aspect does not divide by zero.
    EXPECT_TRUE(std::isfinite(P::resizedFrame(anchor, 100, 0, 0, 0.0).height()));
    // The image fills the window unless the window's floor pads it.
    EXPECT_EQ(P::imageRect(QSizeF(467, 700), QSize(2000, 3000)), QRectF(0, 0, 467, 700));
    EXPECT_EQ(P::imageRect(QSizeF(80, 48), QSize(200, 100)), QRectF(0, 4, 80, 40));
}

TEST(PinContentView, CloseButtonNeedsHoverElseTheClickMoves)
{
    static FakeWindowSystem windows;
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::blue);
    PinContentView *view = PinWindowController::pin(image, windows, {})->window();
    const auto press = [view](QPointF at) {
        QMouseEvent event(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    };
    press({15, 15});
    EXPECT_TRUE(std::holds_alternative<PinContentView::Moving>(view->dragMode()));

    QEnterEvent enter(QPointF(15, 15), QPointF(15, 15), view->mapToGlobal(QPointF(15, 15)));
    QCoreApplication::sendEvent(view, &enter);
    press({390, 290});
    EXPECT_TRUE(std::holds_alternative<PinContentView::Resizing>(view->dragMode()));
    press({15, 15});
    EXPECT_TRUE(PinWindowController::pins().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
