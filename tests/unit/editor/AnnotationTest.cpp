#include "editor/Annotation.h"
#include "unit/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

using namespace zorv;
using zorv::test::makeAnnotation;

TEST(AnnotationTool, TableInToolbarOrder)
{
    struct Row {
        const char *raw, *title, *symbol, *shortcut;
    };
    const Row rows[] = {
        {"select", "Select", "cursorarrow", "V"},
        {"arrow", "Arrow", "arrow.up.right", "A"},
        {"line", "Line", "line.diagonal", "L"},
        {"rectangle", "Rectangle", "rectangle", "R"},
        {"ellipse", "Ellipse", "circle", "O"},
        {"freehand", "Pen", "scribble.variable", "P"},
        {"highlighter", "Highlighter", "highlighter", "H"},
        {"text", "Text", "textformat", "T"},
        {"number", "Number", "1.circle", "N"},
        {"blur", "Blur", "drop.fill", "B"},
        {"pixelate", "Pixelate", "squareshape.split.3x3", "X"},
        {"spotlight", "Spotlight", "flashlight.off.fill", "S"},
        {"crop", "Crop", "crop", "C"},
    };
    const auto &all = annotationTool::all();
    ASSERT_EQ(all.size(), 13);
    for (int i = 0; i < 13; ++i) {
        SCOPED_TRACE(rows[i].raw);
        const AnnotationTool tool = all[i];
        EXPECT_EQ(annotationTool::rawValue(tool), QLatin1String(rows[i].raw));
        EXPECT_EQ(annotationTool::title(tool), QLatin1String(rows[i].title));
        EXPECT_EQ(annotationTool::symbol(tool), QLatin1String(rows[i].symbol));
        EXPECT_EQ(annotationTool::shortcut(tool), QLatin1String(rows[i].shortcut));
        EXPECT_EQ(annotationTool::fromRawValue(QLatin1String(rows[i].raw)), tool);
    }
}

TEST(AnnotationTool, OnlyRawValuesNameTools)
{
    EXPECT_EQ(annotationTool::fromRawValue(QStringLiteral("Pen")), std::nullopt);
    EXPECT_EQ(annotationTool::fromRawValue(QStringLiteral("Freehand")), std::nullopt);
    EXPECT_EQ(annotationTool::fromRawValue(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(annotationTool::fromRawValue(QStringLiteral("freehand")), AnnotationTool::freehand);
}

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
    struct Row {
        const char *name;
        Annotation annotation;
        QRectF expected;
    };
    Annotation text = makeAnnotation(AnnotationTool::text, {30, 40}, {30, 40});
    text.text = QStringLiteral("a long line of text");
    const Row rows[] = {
        {"rectangle dragged down-right",
         makeAnnotation(AnnotationTool::rectangle, {10, 20}, {110, 70}), QRectF(10, 20, 100, 50)},
        {"rectangle dragged up-left",
         makeAnnotation(AnnotationTool::rectangle, {110, 70}, {10, 20}), QRectF(10, 20, 100, 50)},
        {"arrow pointing left", makeAnnotation(AnnotationTool::arrow, {90, 5}, {10, 45}),
         QRectF(10, 5, 80, 40)},
        {"text has no size", text, QRectF(30, 40, 0, 0)},
        {"number has no size", makeAnnotation(AnnotationTool::number, {7, 9}, {7, 9}),
         QRectF(7, 9, 0, 0)},
        {"stroke spans its points plus half the width",
         stroke(AnnotationTool::freehand, {{10, 50}, {40, 20}, {30, 60}}, 6),
         QRectF(7, 17, 36, 46)},
        {"single-point stroke is a width square",
         stroke(AnnotationTool::highlighter, {{100, 100}}, 8), QRectF(96, 96, 8, 8)},
        {"stroke without points uses start and end", stroke(AnnotationTool::freehand, {}, 6),
         QRectF(500, 500, 100, 100)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.annotation.bounds(), row.expected);
    }
}

TEST(Annotation, HitTest)
{
    struct Row {
        const char *name;
        Annotation annotation;
        QPointF point;
        double slack;
        bool hit;
    };
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

    const Row rows[] = {
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
        {"rectangle inside", box, {15, 15}, 1, true},
        {"rectangle on grown minimum edge", box, {8, 15}, 1, true},
        {"rectangle on grown maximum edge", box, {22, 15}, 1, false},
        {"rectangle just inside the grown maximum", box, {21.9, 21.9}, 1, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.annotation.hitTest(row.point, row.slack), row.hit);
    }
}

TEST(Annotation, OverlapCountsZeroSizeRectanglesInside)
{
    const QRectF image(0, 0, 100, 50);
    struct Row {
        const char *name;
        QRectF rect;
        bool overlaps;
    };
    const Row rows[] = {
        {"point inside", QRectF(10, 10, 0, 0), true},
        {"point on the minimum edge", QRectF(0, 0, 0, 0), true},
        {"point on the maximum edge", QRectF(100, 10, 0, 0), false},
        {"horizontal line inside", QRectF(10, 20, 50, 0), true},
        {"line above", QRectF(10, -5, 50, 0), false},
        {"area poking in", QRectF(-20, -20, 21, 21), true},
        {"area touching the left edge", QRectF(-20, 10, 20, 5), false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(geometry::overlaps(row.rect, image), row.overlaps);
    }
}
