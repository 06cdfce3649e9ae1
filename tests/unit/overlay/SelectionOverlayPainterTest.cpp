#include "capture/overlay/SelectionOverlayPainter.h"
#include "capture/overlay/SelectionOverlayGeometry.h"
#include "capture/overlay/SelectionOverlayView.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

// Each snapshot pixel tells where it is: red = x / scale, green = y / scale.
QImage positionImage(QSize points, int scale)
{
    QImage image(points * scale, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x / scale) & 0xFF, (y / scale) & 0xFF, 0));
    }
    return image;
}

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

    EXPECT_NEAR(qAlpha(image.pixel(20, 280)), 107, 2); // 42 % black
    EXPECT_EQ(qGreen(image.pixel(20, 280)), 0);
    EXPECT_EQ(qAlpha(image.pixel(200, 200)), 0);                 // the hole
    EXPECT_EQ(image.pixel(200, 150), qRgba(255, 255, 255, 255)); // outline, top edge
    EXPECT_EQ(image.pixel(299, 200), qRgba(255, 255, 255, 255)); // outline, right edge
    // The size label sits above the selection, centred on it.
    const QRectF label =
        SelectionOverlayPainter::sizeLabelRect(QRectF(100, 150, 200, 100), view.bounds());
    EXPECT_LT(label.bottom(), 150);
    EXPECT_NEAR(qAlpha(image.pixel(label.left() + 3, label.center().y())),
                0.42 * 255 + 0.72 * 0.58 * 255, 3);
}

TEST(SelectionOverlayPainter, WindowModeHighlightsTheHoveredWindowOnly)
{
    SelectionOverlayView view(SelectionMode::screenshot, true, QRectF(0, 0, 400, 300));
    WindowInfo info;
    info.id = 3;
    info.frame = QRectF(50, 100, 200, 150);
    info.title = QStringLiteral("Editor");
    view.setInitialPointer({60, 240});
    view.setWindows({info});
    const QImage image = render(view);

    EXPECT_NEAR(qAlpha(image.pixel(10, 10)), 107, 2);
    // Inside the window: no dimming, only the 12 % accent tint.
    EXPECT_NEAR(qAlpha(image.pixel(150, 200)), 0.12 * 255, 2);
    // Its 2-point accent border.
    EXPECT_GT(qAlpha(image.pixel(51, 180)), 200);
}

TEST(SelectionOverlayPainter, LoupeMagnifiesTheSnapshotAroundThePointer)
{
    for (int scale : {1, 2}) {
        SelectionOverlayView view(SelectionMode::screenshot, false, QRectF(0, 0, 400, 300));
        view.setSnapshot(positionImage(QSize(400, 300), scale));
        const QPointF pointer(120, 90);
        view.mouseMoved(pointer);
        const QImage image = render(view);
        const QRectF loupe = SelectionOverlayGeometry::loupeRect(pointer, view.bounds());
        // 30 points right and 40 below the loupe's centre show the desktop
        // 6 points right and 8 below the pointer.
        const QRgb seen = image.pixel((loupe.center() + QPointF(30, 40)).toPoint());
        EXPECT_NEAR(qRed(seen), 126, 1) << "scale " << scale;
        EXPECT_NEAR(qGreen(seen), 98, 1) << "scale " << scale;
        EXPECT_EQ(qAlpha(seen), 255);
        // The red cross marks the centre.
        const QRgb cross = image.pixel(loupe.center().toPoint() + QPoint(4, 0));
        EXPECT_GT(qRed(cross), 150);
        EXPECT_GT(qRed(cross), 2 * qGreen(cross));
    }
}
