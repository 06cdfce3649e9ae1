#include "editor/Backdrop.h"
#include "unit/editor/EditorTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;

TEST(Backdrop, PresetIndexIsClampedToTheList)
{
    struct Row {
        int index;
        const char *name;
    };
    const Row rows[] = {{-3, "Indigo"}, {0, "Indigo"}, {3, "Mint"}, {6, "Paper"}, {9, "Paper"}};
    ASSERT_EQ(Backdrop::presets().size(), 7);
    for (const Row &row : rows) {
        Backdrop backdrop;
        backdrop.presetIndex = row.index;
        EXPECT_EQ(backdrop.preset().name, QLatin1String(row.name)) << row.index;
    }
}

namespace
{
QImage background(const Backdrop &backdrop, QRectF imageRect)
{
    QImage canvas = solidImage(400, 300, Qt::transparent);
    QPainter painter(&canvas);
    backdrop.drawBackground(painter, QRectF(canvas.rect()), imageRect, 8);
    return canvas;
}
} // namespace

TEST(Backdrop, GradientRunsFromTopLeftToBottomRight)
{
    Backdrop backdrop;
    backdrop.shadow = 0;
    const QImage canvas = background(backdrop, QRectF(100, 100, 200, 100));
    EXPECT_LE(colorDistance(canvas.pixel(0, 0), qRgb(0x4C, 0x5B, 0xFF)), 3);
    EXPECT_LE(colorDistance(canvas.pixel(399, 299), qRgb(0xFF, 0x7A, 0x59)), 3);
    // The middle stop lies halfway along the diagonal.
    EXPECT_LE(colorDistance(canvas.pixel(200, 150), qRgb(0xA2, 0x4B, 0xE0)), 6);
}

TEST(Backdrop, ShadowFallsBelowTheImage)
{
    Backdrop plain;
    plain.shadow = 0;
    Backdrop shadowed;
    shadowed.presetIndex = 6; // Paper: light, so darkening shows
    plain.presetIndex = 6;
    const QRectF imageRect(50, 40, 300, 200);
    const QImage without = background(plain, imageRect);
    const QImage with = background(shadowed, imageRect);
    saveExample(with, QStringLiteral("backdrop-shadow"));
    auto darkening = [&](int x, int y) {
        return qGray(without.pixel(x, y)) - qGray(with.pixel(x, y));
    };
    // Just below the bottom edge against just above the top edge.
    const int below = darkening(200, 240 + 2);
    const int above = darkening(200, 40 - 3);
    EXPECT_GT(below, 20);
    EXPECT_GT(below, above + 10);
    // Sideways the shadow is symmetric.
    EXPECT_NEAR(darkening(50 - 3, 140), darkening(350 + 2, 140), 3);
    // Far from the image there is none.
    EXPECT_EQ(darkening(5, 5), 0);
}
