#include "capture/overlay/SelectionOverlayPainter.h"
#include "capture/overlay/SelectionOverlayGeometry.h"
#include "capture/overlay/SelectionOverlayView.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

QImage render(const SelectionOverlayView &view)
{
    QImage image(view.bounds().size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::green); // must be cleared by the painter
    QPainter painter(&image);
    SelectionOverlayPainter::paint(painter, view, view.bounds());
    return image;
}

} // namespace

TEST(SelectionOverlayPainter, DimsAroundAClearSelectionWithAWhiteOutline)
{
    SelectionOverlayView view(SelectionMode::screenshot, false, QRectF(0, 0, 400, 300));
    view.mouseDown({100, 150});
    view.mouseDragged({300, 250});
    const QImage image = render(view);
    EXPECT_NEAR(qAlpha(image.pixel(20, 280)), 107, 2);           // 42 % black
    EXPECT_EQ(qAlpha(image.pixel(200, 200)), 0);                 // the hole
    EXPECT_EQ(image.pixel(299, 200), qRgba(255, 255, 255, 255)); // outline, right edge inside
    // The size label's background, darker than the dimming, above the selection.
    const QRectF label =
        SelectionOverlayPainter::sizeLabelRect(QRectF(100, 150, 200, 100), view.bounds());
    EXPECT_GT(qAlpha(image.pixel(label.left() + 3, label.center().y())), 200);
}

TEST(SelectionOverlayPainter, WindowModeHighlightsTheHoveredWindowOnly)
{
    SelectionOverlayView view(SelectionMode::screenshot, true, QRectF(0, 0, 400, 300));
    view.setInitialPointer({60, 240});
    view.setWindows({{3, QRectF(50, 100, 200, 150), "Editor", {}, 0, 0}});
    const QImage image = render(view);
    EXPECT_NEAR(qAlpha(image.pixel(10, 10)), 107, 2);
    // Inside the window: no dimming, only the 12 % accent tint; then its accent border.
    EXPECT_NEAR(qAlpha(image.pixel(150, 200)), 0.12 * 255, 2);
    EXPECT_GT(qAlpha(image.pixel(51, 180)), 200);
}

TEST(SelectionOverlayPainter, LoupeMagnifiesTheSnapshotAroundThePointer)
{
    for (int scale : {1, 2}) {
        // Each snapshot pixel tells where it is: red = x / scale, green = y / scale.
        QImage snapshot(QSize(400, 300) * scale, QImage::Format_RGB32);
        for (int y = 0; y < snapshot.height(); ++y) {
            for (int x = 0; x < snapshot.width(); ++x)
                snapshot.setPixel(x, y, qRgb((x / scale) & 0xFF, (y / scale) & 0xFF, 0));
        }
        SelectionOverlayView view(SelectionMode::screenshot, false, QRectF(0, 0, 400, 300));
        view.setSnapshot(snapshot);
        view.mouseMoved({120, 90});
        const QImage image = render(view);
        const QPointF centre =
            SelectionOverlayGeometry::loupeRect({120, 90}, view.bounds()).center();
        // 30 points right and 40 below the loupe's centre show the desktop
        // 6 points right and 8 below the pointer.
        const QRgb seen = image.pixel((centre + QPointF(30, 40)).toPoint());
        EXPECT_EQ(seen, qRgb(126, 98, 0)) << "scale " << scale;
        // The red cross marks the centre.
        const QRgb cross = image.pixel(centre.toPoint() + QPoint(4, 0));
        EXPECT_GT(qRed(cross), 2 * qGreen(cross) + 50);
    }
}
