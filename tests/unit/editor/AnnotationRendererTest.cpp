#include "editor/AnnotationRenderer.h"
#include "editor/ColorHex.h"
#include "unit/editor/EditorTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;

namespace
{

QImage renderOver(const QImage &base, const QList<Annotation> &annotations)
{
    ImageEffects effects;
    QImage out = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&out);
    AnnotationRenderer::render(painter, annotations, base, QSizeF(base.size()), effects);
    painter.end();
    return out;
}

bool isReddish(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) < 120 && qBlue(p) < 120;
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

TEST(AnnotationRenderer, SpotlightsDimOutsideOnlyAndDimEachOther)
{
    const QImage grey = solidImage({200, 200}, QColor(200, 200, 200));
    const Annotation first = makeAnnotation(AnnotationTool::spotlight, {20, 20}, {100, 100});
    const Annotation second = makeAnnotation(AnnotationTool::spotlight, {80, 80}, {180, 180});
    const int clear = 200, once = qRound(200 * 0.45), twice = qRound(200 * 0.45 * 0.45);
    const struct {
        const char *name;
        QList<Annotation> spots;
        QPoint at;
        int red;
    } rows[] = {
        {"inside", {first}, {60, 60}, clear},
        {"outside", {first}, {110, 60}, once},
        {"in the bounds but outside the rounded corner (radius 10)", {first}, {20, 20}, once},
        {"only in the first of two", {first, second}, {50, 50}, once},
        {"in both", {first, second}, {90, 90}, clear},
        {"in neither", {first, second}, {190, 5}, twice},
    };
    for (const auto &row : rows) {
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
    int changedInside = 0, wrong = 0;
    for (int y = 0; y < base.height(); ++y) {
        for (int x = 0; x < base.width(); ++x) {
            const bool inside = clip.contains(QPointF(x + 0.5, y + 0.5));
            const bool differs = with.pixel(x, y) != without.pixel(x, y);
            changedInside += inside && differs;
            // The rectangle never shows through; aliased clip edges may take a pixel
            // whose centre is just outside.
            wrong += inside ? isReddish(with.pixel(x, y))
                            : differs && !clip.intersects(QRectF(x - 0.5, y - 0.5, 2, 2));
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(changedInside, int(area.width() * area.height() * 0.5));
    // The stripes are gone in the middle: neighbours agree.
    EXPECT_LT(colorDistance(with.pixel(120, 80), with.pixel(122, 80)), 6);
    // An area one pixel wide draws nothing.
    const Annotation thin = makeAnnotation(AnnotationTool::blur, {10, 10}, {11, 50});
    EXPECT_EQ(renderOver(base, {thin}), renderOver(base, {}));
}

TEST(AnnotationRenderer, PixelateFillsUniformCellsOfTheGivenSize)
{
    const QImage base = noise(100, 80, 11);
    for (double scale : {7.0, 1.0}) {
        const int cell = scale < 2 ? 2 : int(scale);
        Annotation pixelate = makeAnnotation(AnnotationTool::pixelate, {0, 0}, {100, 80});
        pixelate.pixelScale = scale;
        const QImage out = renderOver(base, {pixelate});
        // Away from the rounded corners, each pixel has its cell's colour, which the next
        // cells over do not have.
        int wrong = 0;
        for (int y = 2 * cell; y < (80 / cell - 2) * cell; ++y) {
            for (int x = 2 * cell; x < (100 / cell - 2) * cell; ++x) {
                const QRgb p = out.pixel(x, y);
                wrong += p != out.pixel(x - x % cell, y - y % cell) ||
                         p == out.pixel(x + cell, y) || p == out.pixel(x, y + cell);
            }
        }
        EXPECT_EQ(wrong, 0) << scale;
    }
}

TEST(AnnotationRenderer, TextWrapsAtTheImageEdgeAndAtLineBreaksAndKeepsItsSizeOnAnyDevice)
{
    for (const auto &[x, wrapWidth] : {std::pair{270.0, 40.0}, {10.0, 266.0}}) {
        SCOPED_TRACE(x);
        Annotation text = makeAnnotation(AnnotationTool::text, {x, 20}, {x, 20});
        text.fontSize = 14;
        text.text = QStringLiteral("one two six ten red dog cat owl bee ant elk fox yak emu "
                                   "one two six ten red dog cat owl bee ant elk fox yak emu");
        EXPECT_DOUBLE_EQ(AnnotationRenderer::textWrapWidth(text, QSizeF(300, 400)), wrapWidth);
        const QSizeF box = AnnotationRenderer::textBoxSize(text, QSizeF(300, 400));
        EXPECT_LE(box.width(), wrapWidth + 4);
        const QRect ink =
            inkBounds(renderOver(solidImage({300, 400}, Qt::white), {text}), qRgb(255, 255, 255));
        EXPECT_GE(ink.left(), x - 1);
        EXPECT_LE(ink.right(), x + wrapWidth + 1);
        EXPECT_GT(ink.height(), 2 * text.fontSize); // wrapped onto several lines
        EXPECT_LE(ink.bottom(), 20 + box.height() + 1);
    }

    Annotation text = makeAnnotation(AnnotationTool::text, {10, 10}, {10, 10});
    text.text = QStringLiteral("one two");
    const QSizeF oneLine = AnnotationRenderer::textBoxSize(text, QSizeF(500, 500));
    for (const char *broken : {"one\ntwo", "one\r\ntwo"}) {
        text.text = QString::fromLatin1(broken);
        const QSizeF twoLines = AnnotationRenderer::textBoxSize(text, QSizeF(500, 500));
        EXPECT_NEAR(twoLines.height(), 2 * oneLine.height(), 1) << broken;
        EXPECT_LT(twoLines.width(), oneLine.width());
    }

    text.fontSize = 30;
    text.text = QStringLiteral("Hello there");
    const auto ink = [&](double dotsPerInch) {
        QImage image = solidImage({400, 100}, Qt::white);
        image.setDotsPerMeterX(qRound(dotsPerInch / 0.0254));
        image.setDotsPerMeterY(qRound(dotsPerInch / 0.0254));
        return inkBounds(renderOver(image, {text}), qRgb(255, 255, 255));
    };
    const QRect at72 = ink(72), at96 = ink(96);
    EXPECT_NEAR(at72.width(), at96.width(), 1);
    // A 30-pixel font: capitals are roughly 20 pixels tall, not 4/3 of that.
    EXPECT_NEAR(at72.height(), 30, 9);
    EXPECT_NEAR(at96.height(), 30, 9);
}

TEST(ColorHex, ParsesSixOrEightDigitsAndAnythingElseDrawsStandardRed)
{
    const std::pair<const char *, QRgb> valid[] = {
        {"ff0000", 0xFFFF0000}, {"  #00FF0080\n", 0x8000FF00}, {"\t#0a84ff ", 0xFF0A84FF}};
    for (const auto &[text, rgba] : valid)
        EXPECT_EQ(colorHex::parse(text).value_or(QColor()).rgba(), rgba) << text;
    // Three digits, not hex, a prefix, a sign, two "#", an inner space, ten digits.
    for (const char *text :
         {"#FFF", "#GG0000", "0x00FF", "+FFFFF", "##FF0000", "#FF 000", "#FF0000FF00", ""})
        EXPECT_FALSE(colorHex::parse(text)) << text;
    Annotation line = makeAnnotation(AnnotationTool::line, {10, 20}, {90, 20}, 6);
    line.colorHex = QStringLiteral("#F00");
    EXPECT_EQ(renderOver(solidImage({100, 40}, Qt::white), {line}).pixel(50, 20),
              colorHex::standardRed().rgb());
}
