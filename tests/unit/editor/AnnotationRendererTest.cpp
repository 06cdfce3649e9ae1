#include "editor/AnnotationRenderer.h"
#include "editor/ColorHex.h"
#include "unit/editor/EditorTestSupport.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace zorv;
using namespace zorv::test;

namespace
{

QImage renderOver(const QImage &base, const QList<Annotation> &annotations, ImageEffects &effects)
{
    QImage out = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&out);
    AnnotationRenderer::render(painter, annotations, base, QSizeF(base.size()), effects);
    painter.end();
    return out;
}

QImage renderOver(const QImage &base, const QList<Annotation> &annotations)
{
    ImageEffects effects;
    return renderOver(base, annotations, effects);
}

bool isReddish(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) < 120 && qBlue(p) < 120;
}

QRgb at(const QImage &image, QPointF p)
{
    return image.pixel(int(std::floor(p.x())), int(std::floor(p.y())));
}

// Bounding box of the pixels that differ from the background colour.
QRect inkBounds(const QImage &image, QRgb background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (colorDistance(image.pixel(x, y), background) > 40)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

TEST(AnnotationRenderer, ArrowHeadSitsAtTheEndWithTheRightLength)
{
    struct Row {
        const char *name;
        QPointF start, end;
        double width;
        double headLength; // max(3.4 × width, 12)
    };
    const Row rows[] = {
        {"right, width 4", {20, 100}, {170, 100}, 4, 13.6},
        {"up, width 2", {100, 180}, {100, 20}, 2, 12},
        {"down-left, width 5", {170, 30}, {40, 160}, 5, 17},
    };
    const QImage white = solidImage({200, 200}, Qt::white);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QImage out = renderOver(
            white, {makeAnnotation(AnnotationTool::arrow, row.start, row.end, row.width)});
        const QPointF d = row.end - row.start;
        const QPointF back = -d / std::hypot(d.x(), d.y()); // from the tip towards the tail
        for (double turn : {-std::numbers::pi / 7, std::numbers::pi / 7}) {
            // Each wing leaves the tip backwards, turned by a seventh of a half turn.
            const QPointF along(back.x() * std::cos(turn) - back.y() * std::sin(turn),
                                back.x() * std::sin(turn) + back.y() * std::cos(turn));
            EXPECT_TRUE(isReddish(at(out, row.end + along * (row.headLength - 1))));
            EXPECT_TRUE(isReddish(at(out, row.end + along * (row.headLength / 2))));
            // Past the wing's round cap the head is over.
            EXPECT_EQ(at(out, row.end + along * (row.headLength + row.width / 2 + 2)),
                      qRgb(255, 255, 255));
            // No head at the tail.
            EXPECT_EQ(at(out, row.start - along * (row.headLength - 1)), qRgb(255, 255, 255));
        }
        // The tip is mitred: it reaches well past where a round or bevelled join would end.
        if (row.width >= 4) {
            EXPECT_TRUE(isReddish(at(out, row.end - back * (row.width * 0.5 + 1))));
        }
    }
}

TEST(AnnotationRenderer, SpotlightsDimOutsideOnlyAndDimEachOther)
{
    const QImage grey = solidImage({200, 200}, QColor(200, 200, 200));
    const Annotation first = makeAnnotation(AnnotationTool::spotlight, {20, 20}, {100, 100});
    const Annotation second = makeAnnotation(AnnotationTool::spotlight, {80, 80}, {180, 180});
    const int clear = 200, once = qRound(200 * 0.45), twice = qRound(200 * 0.45 * 0.45);
    struct Row {
        const char *name;
        QList<Annotation> spots;
        QPoint at;
        int red;
    };
    const Row rows[] = {
        {"inside", {first}, {60, 60}, clear},
        {"inside near the edge", {first}, {25, 60}, clear},
        {"inside near the far corner", {first}, {90, 90}, clear},
        {"outside", {first}, {110, 60}, once},
        {"in the bounds but outside the rounded corner (radius 10)", {first}, {20, 20}, once},
        {"only in the first of two", {first, second}, {50, 50}, once},
        {"only in the second", {first, second}, {150, 150}, once},
        {"in both", {first, second}, {90, 90}, clear},
        {"in neither", {first, second}, {190, 5}, twice},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NEAR(qRed(renderOver(grey, row.spots).pixel(row.at)), row.red,
                    row.red == clear ? 0 : 2);
    }
}

TEST(AnnotationRenderer, BlurChangesOnlyItsRoundedAreaAndIgnoresOtherAnnotations)
{
    // Fine stripes, so that blurred pixels differ from the originals.
    QImage base(240, 160, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < base.height(); ++y)
        for (int x = 0; x < base.width(); ++x)
            base.setPixel(x, y, (x / 2) % 2 ? qRgb(20, 40, 240) : qRgb(240, 240, 240));
    const Annotation box = makeAnnotation(AnnotationTool::rectangle, {70, 50}, {170, 110}, 6);
    const Annotation blur = makeAnnotation(AnnotationTool::blur, {40, 30}, {200, 130});

    const QImage without = renderOver(base, {box});
    const QImage with = renderOver(base, {box, blur});

    const QRectF area = blur.bounds();
    const double radius = AnnotationRenderer::effectCornerRadius(area);
    QPainterPath clip;
    clip.addRoundedRect(area, radius, radius);
    int changedInside = 0;
    for (int y = 0; y < base.height(); ++y) {
        for (int x = 0; x < base.width(); ++x) {
            const QPointF centre(x + 0.5, y + 0.5);
            const bool differs = with.pixel(x, y) != without.pixel(x, y);
            if (!clip.contains(centre)) {
                // Aliased clip edges may take a pixel whose centre is just outside.
                if (differs) {
                    EXPECT_TRUE(clip.intersects(QRectF(x - 0.5, y - 0.5, 2, 2)))
                        << "changed outside the blur at " << x << "," << y;
                }
                continue;
            }
            changedInside += differs;
            EXPECT_FALSE(isReddish(with.pixel(x, y)))
                << "the rectangle shows through the blur at " << x << "," << y;
        }
    }
    EXPECT_GT(changedInside, int(area.width() * area.height() * 0.5));
    // The stripes are gone in the middle: neighbours agree.
    EXPECT_LT(colorDistance(with.pixel(120, 80), with.pixel(122, 80)), 6);
}

TEST(AnnotationRenderer, BlurAreaOnePixelWideDrawsNothing)
{
    const QImage base = noise(60, 60, 7);
    const Annotation thin = makeAnnotation(AnnotationTool::blur, {10, 10}, {11, 50});
    EXPECT_EQ(renderOver(base, {thin}), base);
}

TEST(AnnotationRenderer, PixelateFillsUniformCellsOfTheGivenSize)
{
    const QImage base = noise(100, 80, 11);
    for (double scale : {7.0, 1.0}) {
        SCOPED_TRACE(scale);
        const int cell = scale < 2 ? 2 : int(scale);
        Annotation pixelate = makeAnnotation(AnnotationTool::pixelate, {0, 0}, {100, 80});
        pixelate.pixelScale = scale;
        const QImage out = renderOver(base, {pixelate});
        // Cells away from the rounded corners.
        for (int cy = 2; cy < 80 / cell - 2; ++cy) {
            for (int cx = 2; cx < 100 / cell - 2; ++cx) {
                const QRgb first = out.pixel(cx * cell, cy * cell);
                for (int y = 0; y < cell; ++y)
                    for (int x = 0; x < cell; ++x)
                        ASSERT_EQ(out.pixel(cx * cell + x, cy * cell + y), first)
                            << "cell " << cx << "," << cy;
                // The next cell over has another colour: cells are no larger.
                EXPECT_NE(out.pixel((cx + 1) * cell, cy * cell), first);
                EXPECT_NE(out.pixel(cx * cell, (cy + 1) * cell), first);
            }
        }
    }
}

TEST(AnnotationRenderer, TextWrapsAtTheWidthLeftOfTheImage)
{
    struct Row {
        const char *name;
        double x;
        double wrapWidth;
    };
    const Row rows[] = {
        {"30 pixels from the right edge", 270, 40},
        {"near the left edge", 10, 266},
    };
    const QImage white = solidImage({300, 400}, Qt::white);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Annotation text = makeAnnotation(AnnotationTool::text, {row.x, 20}, {row.x, 20});
        text.fontSize = 14;
        text.text = QStringLiteral("one two six ten red dog cat owl bee ant elk fox yak emu "
                                   "one two six ten red dog cat owl bee ant elk fox yak emu");
        EXPECT_DOUBLE_EQ(AnnotationRenderer::textWrapWidth(text, QSizeF(300, 400)), row.wrapWidth);
        const QSizeF box = AnnotationRenderer::textBoxSize(text, QSizeF(300, 400));
        EXPECT_LE(box.width(), row.wrapWidth + 4);
        EXPECT_GT(box.width(), row.wrapWidth * 0.5);

        const QImage out = renderOver(white, {text});
        const QRect ink = inkBounds(out, qRgb(255, 255, 255));
        EXPECT_GE(ink.left(), row.x - 1);
        EXPECT_LE(ink.right(), row.x + row.wrapWidth + 1);
        EXPECT_GT(ink.height(), 2 * text.fontSize); // wrapped onto several lines
        EXPECT_LE(ink.bottom(), 20 + box.height() + 1);
    }
}

TEST(AnnotationRenderer, TextKeepsItsSizeOnDevicesOfAnyResolution)
{
    Annotation text = makeAnnotation(AnnotationTool::text, {10, 10}, {10, 10});
    text.fontSize = 30;
    text.text = QStringLiteral("Hello there");
    QRect inks[2];
    for (int i : {0, 1}) {
        QImage image = solidImage({400, 100}, Qt::white);
        const int dotsPerMeter = qRound((i ? 96 : 72) / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        inks[i] = inkBounds(renderOver(image, {text}), qRgb(255, 255, 255));
    }
    EXPECT_NEAR(inks[0].width(), inks[1].width(), 1);
    EXPECT_NEAR(inks[0].height(), inks[1].height(), 1);
    // A 30-pixel font: capitals are roughly 20 pixels tall, not 4/3 of that.
    EXPECT_NEAR(inks[0].height(), 30, 9);
}

TEST(AnnotationRenderer, UnparsableColourDrawsStandardRed)
{
    const QImage white = solidImage({100, 40}, Qt::white);
    Annotation line = makeAnnotation(AnnotationTool::line, {10, 20}, {90, 20}, 6);
    line.colorHex = QStringLiteral("#F00");
    const QImage out = renderOver(white, {line});
    EXPECT_EQ(out.pixel(50, 20), colorHex::standardRed().rgb());
}

TEST(AnnotationRenderer, LineBreaksInTextStartNewLines)
{
    Annotation text = makeAnnotation(AnnotationTool::text, {10, 10}, {10, 10});
    text.text = QStringLiteral("one two");
    const QSizeF oneLine = AnnotationRenderer::textBoxSize(text, QSizeF(500, 500));
    for (const char *broken : {"one\ntwo", "one\r\ntwo"}) {
        text.text = QString::fromLatin1(broken);
        const QSizeF twoLines = AnnotationRenderer::textBoxSize(text, QSizeF(500, 500));
        EXPECT_NEAR(twoLines.height(), 2 * oneLine.height(), 1) << broken;
        EXPECT_LT(twoLines.width(), oneLine.width());
    }
}
