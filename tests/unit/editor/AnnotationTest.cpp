#include "editor/Annotation.h"
#include "unit/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

using namespace zorv;
using zorv::test::makeAnnotation;

namespace
{
Annotation stroke(AnnotationTool tool, QList<QPointF> points, double lineWidth)
{
    Annotation a = makeAnnotation(tool, QPointF(500, 500), QPointF(600, 600), lineWidth);
    a.points = std::move(points);
    return a;
}
} // namespace

TEST(Annotation, Bounds)
{
    Annotation text = makeAnnotation(AnnotationTool::text, {30, 40}, {30, 40});
    text.text = QStringLiteral("a long line of text");
    const std::pair<Annotation, QRectF> rows[] = {
        // A rectangle dragged up-left, an arrow pointing left.
        {makeAnnotation(AnnotationTool::rectangle, {110, 70}, {10, 20}), QRectF(10, 20, 100, 50)},
        {makeAnnotation(AnnotationTool::arrow, {90, 5}, {10, 45}), QRectF(10, 5, 80, 40)},
        // Text and numbers have no size.
        {text, QRectF(30, 40, 0, 0)},
        {makeAnnotation(AnnotationTool::number, {7, 9}, {7, 9}), QRectF(7, 9, 0, 0)},
        // A stroke spans its points plus half the width; a single point is a square of the
        // width; without points, start and end count.
        {stroke(AnnotationTool::freehand, {{10, 50}, {40, 20}, {30, 60}}, 6),
         QRectF(7, 17, 36, 46)},
        {stroke(AnnotationTool::highlighter, {{100, 100}}, 8), QRectF(96, 96, 8, 8)},
        {stroke(AnnotationTool::freehand, {}, 6), QRectF(500, 500, 100, 100)},
    };
    for (const auto &[annotation, bounds] : rows)
        EXPECT_EQ(annotation.bounds(), bounds);
}

TEST(Annotation, HitTest)
{
    const Annotation arrow = makeAnnotation(AnnotationTool::arrow, {0, 0}, {100, 0}, 4);
    const Annotation dot = makeAnnotation(AnnotationTool::arrow, {50, 50}, {50, 50}, 4);
    Annotation text = makeAnnotation(AnnotationTool::text, {100, 100}, {100, 100}, 4);
    text.text = QStringLiteral("a fairly long line of text");
    Annotation smallBadge = makeAnnotation(AnnotationTool::number, {0, 0}, {0, 0});
    smallBadge.fontSize = 10;
    Annotation bigBadge = smallBadge;
    bigBadge.fontSize = 40;
    const Annotation singlePoint = stroke(AnnotationTool::freehand, {{10, 10}}, 4);
    const Annotation pen = stroke(AnnotationTool::freehand, {{0, 0}, {100, 0}, {100, 100}}, 4);
    const Annotation box = makeAnnotation(AnnotationTool::rectangle, {10, 10}, {20, 20}, 2);

    const struct {
        const char *name;
        Annotation annotation;
        QPointF point;
        double slack;
        bool hit;
    } rows[] = {
        // Segments: within max(slack, 1.5 × width) of the shaft.
        {"near the shaft", arrow, {50, 5.9}, 2, true},
        {"beyond 1.5 widths", arrow, {50, 6.1}, 2, false},
        {"slack wins over width", arrow, {50, 9.9}, 10, true},
        {"past the tail", arrow, {-5, 0}, 2, true},
        {"far past the head", arrow, {107, 0}, 2, false},
        {"zero-length arrow near its point", dot, {54, 54}, 2, true},
        {"zero-length arrow away from its point", dot, {55, 55}, 2, false},
        // Text: only a square of 2m around the start, m = max(slack, width).
        {"text just right of its corner", text, {103, 100}, 2, true},
        {"text inside its line but away from the corner", text, {180, 110}, 2, false},
        {"text at the lower edge of the square", text, {100, 104}, 2, false},
        {"text at the upper edge of the square", text, {100, 96}, 2, true},
        // Badges: slack + max(0.8 × font size, 14).
        {"small badge inside", smallBadge, {16, 0}, 2, true},
        {"small badge outside", smallBadge, {16.1, 0}, 2, false},
        {"big badge inside", bigBadge, {0, 34}, 2, true},
        {"big badge outside", bigBadge, {0, 34.1}, 2, false},
        // Strokes.
        {"single-point stroke never hits", singlePoint, {10, 10}, 20, false},
        {"pen near second segment", pen, {103, 50}, 2, true},
        {"pen in the open corner", pen, {50, 50}, 2, false},
        // Areas: bounds grown by m, minimum edges in, maximum edges out.
        {"rectangle on grown minimum edge", box, {8, 15}, 1, true},
        {"rectangle on grown maximum edge", box, {22, 15}, 1, false},
        {"rectangle just inside the grown maximum", box, {21.9, 21.9}, 1, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.annotation.hitTest(row.point, row.slack), row.hit);
    }
}
