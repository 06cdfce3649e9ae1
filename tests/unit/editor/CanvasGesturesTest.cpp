#include "editor/canvas/CanvasGestures.h"
#include "editor/AnnotationRenderer.h"
#include "editor/EditorModel.h"
#include "editor/canvas/CanvasLayout.h"
#include "support/TemporarySettings.h"
#include "unit/editor/EditorTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;
using Key = CanvasGestures::Key;

namespace
{

class CanvasGesturesTest : public ::testing::Test
{
  protected:
    TemporarySettings settings;
    EditorModel model{solidImage({400, 300}), CaptureKind::screenshot, QStringLiteral("x.png"),
                      *settings.settings};
    CanvasGestures gestures{model};

    // A press, moves through `path`, and a release, at one view point per pixel
    // unless `scale` says otherwise.
    void stroke(QPointF from, QList<QPointF> path = {}, double scale = 1, int clicks = 1)
    {
        const bool inside = QRectF(0, 0, 400, 300).contains(from);
        gestures.press({from, inside, scale, clicks});
        for (const QPointF &p : path)
            gestures.drag(QPointF(std::clamp(p.x(), 0.0, 400.0), std::clamp(p.y(), 0.0, 300.0)));
        gestures.release();
    }
    Annotation placed(AnnotationTool tool, QPointF a, QPointF b)
    {
        Annotation annotation = makeAnnotation(tool, a, b);
        model.add(annotation);
        return annotation;
    }
    Annotation only() const
    {
        EXPECT_EQ(model.annotations().size(), 1);
        return model.annotations().value(0);
    }
    qsizetype undoSteps() const { return model.history().undoStack().size(); }
};

} // namespace

TEST_F(CanvasGesturesTest, EachHandleResizesItsEdgesFlipsPastTheOppositeOneAndKeepsFourPixels)
{
    struct Row {
        QPointF grip;
        QPointF to;
        QRectF expected;
    };
    // Rectangle (10,10)–(50,40); each grip is pressed where it is drawn.
    // clang-format off
    const Row rows[] = {
        {{10, 10}, {0, 5},    {0, 5, 50, 35}},    // top left
        {{30, 10}, {99, 0},   {10, 0, 40, 40}},   // top: only the top edge
        {{50, 10}, {60, 0},   {10, 0, 50, 40}},   // top right
        {{50, 25}, {70, 99},  {10, 10, 60, 30}},  // right: only the right edge
        {{50, 40}, {60, 50},  {10, 10, 50, 40}},  // bottom right
        {{30, 40}, {99, 60},  {10, 10, 40, 50}},  // bottom
        {{10, 40}, {5, 45},   {5, 10, 45, 35}},   // bottom left
        {{10, 25}, {0, 99},   {0, 10, 50, 30}},   // left
        {{50, 25}, {0, 20},   {0, 10, 10, 30}},   // right dragged past the left edge flips
        {{50, 25}, {12, 20},  {10, 10, 4, 30}},   // 2 wide becomes 4
        {{30, 10}, {30, 39},  {10, 39, 40, 4}},   // 1 tall becomes 4
    };
    // clang-format on
    model.tools().setTool(AnnotationTool::select);
    for (const Row &row : rows) {
        model.setAnnotations({});
        placed(AnnotationTool::rectangle, {10, 10}, {50, 40});
        stroke(row.grip, {row.to});
        EXPECT_EQ(only().bounds(), row.expected) << row.grip.x() << "," << row.grip.y();
    }
}

TEST_F(CanvasGesturesTest, LineEndsAndStrokesResizeByTheirOwnRules)
{
    model.tools().setTool(AnnotationTool::select);
    const Annotation arrow = placed(AnnotationTool::arrow, {100, 100}, {200, 100});
    stroke({200, 100}, {{250, 150}});
    EXPECT_EQ(only().start, QPointF(100, 100));
    EXPECT_EQ(only().end, QPointF(250, 150));

    model.setAnnotations({});
    Annotation pen = makeAnnotation(AnnotationTool::freehand, {}, {}, 2);
    pen.points = {{11, 11}, {31, 21}, {51, 31}}; // bounds (10,10)–(52,32)
    model.add(pen);
    stroke({52, 32}, {{94, 54}}); // doubles both sides
    EXPECT_EQ(only().points, (QList<QPointF>{{12, 12}, {52, 32}, {92, 52}}));

    // A number badge has no grips: pressing its centre moves it.
    model.setAnnotations({});
    placed(AnnotationTool::number, {200, 200}, {200, 200});
    stroke({200, 200}, {{230, 210}});
    EXPECT_EQ(only().start, QPointF(230, 210));
}

TEST_F(CanvasGesturesTest, AClickSelectsTheTopmostWithinSixViewPoints)
{
    model.tools().setTool(AnnotationTool::select);
    const Annotation below = placed(AnnotationTool::rectangle, {10, 10}, {100, 100});
    const Annotation above = placed(AnnotationTool::rectangle, {50, 50}, {150, 150});
    Annotation text = makeAnnotation(AnnotationTool::text, {200, 200}, {200, 200});
    text.text = QStringLiteral("A longer label");
    model.add(text);
    struct Row {
        QPointF at;
        double scale;
        std::optional<QUuid> selected;
    };
    // clang-format off
    const Row rows[] = {
        {{75, 75},   1, above.id},      // overlap: the later one
        {{20, 20},   1, below.id},
        {{155, 75},  1, above.id},      // 5 px out
        {{157, 75},  1, std::nullopt},  // 7 px out
        {{161, 75},  0.5, above.id},    // 6 view points are 12 pixels at half size
        {{240, 212}, 1, text.id},       // inside the text, far from its corner
        {{300, 20},  1, std::nullopt},
    };
    // clang-format on
    for (const Row &row : rows) {
        model.setSelectedID(std::nullopt);
        gestures.press({row.at, true, row.scale, 1});
        gestures.release();
        EXPECT_EQ(model.selectedID(), row.selected) << row.at.x() << "," << row.at.y();
    }
    EXPECT_EQ(undoSteps(), 0) << "clicks change nothing";
}

TEST_F(CanvasGesturesTest, TinyDraftsAreDiscardedAndKeptOnesTakeTheCurrentColourAndWidth)
{
    struct Row {
        AnnotationTool tool;
        QList<QPointF> path;
        bool kept;
    };
    // clang-format off
    const Row rows[] = {
        {AnnotationTool::rectangle, {},                      false},  // a click
        {AnnotationTool::rectangle, {{52, 52}},              false},  // 2 × 2
        {AnnotationTool::rectangle, {{150, 52}},             true},   // 100 × 2
        {AnnotationTool::arrow,     {{54, 50}},              false},  // 4 long
        {AnnotationTool::arrow,     {{53, 54}},              true},   // 5 long
        {AnnotationTool::line,      {{150, 50}},             true},   // flat
        {AnnotationTool::freehand,  {{50, 50}, {50, 50}},    false},  // one point
        {AnnotationTool::freehand,  {{51, 50}},              true},
        {AnnotationTool::blur,      {{52, 80}},              true},
    };
    // clang-format on
    for (const Row &row : rows) {
        model.setAnnotations({});
        const qsizetype steps = undoSteps();
        model.tools().setTool(row.tool);
        model.tools().setColorHex(QStringLiteral("#00FF00"));
        gestures.press({{50, 50}, true, 1, 1});
        for (const QPointF &p : row.path)
            gestures.drag(p);
        // Changed while the mouse is down: the kept mark takes the new values.
        model.tools().setColorHex(QStringLiteral("#0000FF"));
        model.tools().setLineWidth(9);
        gestures.release();
        EXPECT_EQ(model.annotations().size(), row.kept ? 1 : 0) << int(row.tool);
        EXPECT_EQ(undoSteps(), steps + (row.kept ? 1 : 0)) << int(row.tool);
        if (row.kept) {
            EXPECT_EQ(only().colorHex, QStringLiteral("#0000FF"));
            EXPECT_EQ(only().lineWidth, 9);
            EXPECT_EQ(model.selectedID(), only().id);
        }
        EXPECT_FALSE(gestures.draft());
    }
}

TEST_F(CanvasGesturesTest, AMoveIsOneStepClampedToTheImageAndAClickRecordsNothing)
{
    model.tools().setTool(AnnotationTool::select);
    placed(AnnotationTool::rectangle, {100, 100}, {140, 120});
    stroke({110, 110});
    EXPECT_EQ(undoSteps(), 0);

    stroke({110, 110}, {{120, 110}, {130, 115}, {5000, -5000}});
    // The pointer stops at the image's corner (400, 0): moved by (290, -110).
    EXPECT_EQ(only().bounds(), QRectF(390, -10, 40, 20));
    EXPECT_EQ(undoSteps(), 1);
    model.undo();
    EXPECT_EQ(only().bounds(), QRectF(100, 100, 40, 20));
}

TEST_F(CanvasGesturesTest, ArrowNudgesOfOneAnnotationAreOneStep)
{
    model.tools().setTool(AnnotationTool::select);
    const Annotation a = placed(AnnotationTool::rectangle, {100, 100}, {140, 120});
    EXPECT_TRUE(gestures.keyPress(Key::right, false, {}));
    EXPECT_TRUE(gestures.keyPress(Key::down, true, {}));
    EXPECT_TRUE(gestures.keyPress(Key::left, false, {}));
    EXPECT_TRUE(gestures.keyPress(Key::up, false, {}));
    EXPECT_EQ(only().start, QPointF(100, 109));
    EXPECT_EQ(undoSteps(), 1);
    model.undo();
    EXPECT_EQ(only().start, a.start);

    model.setSelectedID(std::nullopt);
    EXPECT_FALSE(gestures.keyPress(Key::right, false, {}));
}

TEST_F(CanvasGesturesTest, CropDragsAreClampedSmallOnesAbandonedAndEscapeCancelsCropFirst)
{
    model.tools().setTool(AnnotationTool::crop);
    stroke({100, 100}, {{103, 180}});
    EXPECT_FALSE(model.cropRect()) << "3 wide";
    stroke({100, 100}, {{9000, 9000}});
    EXPECT_EQ(model.cropRect(), QRectF(100, 100, 300, 200));

    const Annotation a = placed(AnnotationTool::rectangle, {10, 10}, {20, 20});
    ASSERT_EQ(model.selectedID(), a.id);
    EXPECT_TRUE(gestures.keyPress(Key::escape, false, {}));
    EXPECT_FALSE(model.cropRect());
    EXPECT_EQ(model.selectedID(), a.id);
    EXPECT_TRUE(gestures.keyPress(Key::escape, false, {}));
    EXPECT_FALSE(model.selectedID());

    stroke({0, 0}, {{200, 100}});
    EXPECT_TRUE(gestures.keyPress(Key::enter, false, {}));
    EXPECT_EQ(model.image().size(), QSize(200, 100));
    EXPECT_FALSE(gestures.keyPress(Key::enter, false, {})) << "no crop left to apply";
}

TEST_F(CanvasGesturesTest, DeleteRemovesTheSelectionAsOneStepAndLettersSwitchTools)
{
    const Annotation a = placed(AnnotationTool::rectangle, {10, 10}, {20, 20});
    EXPECT_TRUE(gestures.keyPress(Key::remove, false, {}));
    EXPECT_TRUE(model.annotations().isEmpty());
    model.undo();
    EXPECT_EQ(only().id, a.id);

    EXPECT_TRUE(gestures.keyPress(Key::other, false, QStringLiteral("r")));
    EXPECT_EQ(model.tools().tool(), AnnotationTool::rectangle);
    EXPECT_FALSE(gestures.keyPress(Key::other, false, QStringLiteral("%")));
}

TEST_F(CanvasGesturesTest, NumbersAdvanceOnlyWithAutoIncrement)
{
    model.tools().setTool(AnnotationTool::number);
    for (const bool advance : {true, false}) {
        model.setAnnotations({});
        model.setNextNumber(1);
        model.setAutoIncrementNumbers(advance);
        stroke({10, 10});
        stroke({60, 10});
        ASSERT_EQ(model.annotations().size(), 2);
        EXPECT_EQ(model.annotations()[1].number, advance ? 2 : 1);
        model.undo();
        EXPECT_EQ(model.nextNumber(), advance ? 2 : 1) << "undo takes the number back";
    }
}

TEST_F(CanvasGesturesTest, TextLeftEmptyIsRemovedAndUndoReturnsToBeforeIt)
{
    model.tools().setTool(AnnotationTool::text);
    stroke({50, 50});
    ASSERT_TRUE(gestures.isEditingText());
    EXPECT_EQ(model.editingTextID(), only().id);
    gestures.setEditedText(QStringLiteral(" Hi "));
    gestures.commitTextEditing();
    EXPECT_EQ(only().text, QStringLiteral(" Hi ")) << "kept as typed";
    EXPECT_FALSE(model.editingTextID());
    EXPECT_EQ(undoSteps(), 1);

    // A new text committed with only white space leaves nothing, not even a step.
    stroke({150, 150});
    gestures.setEditedText(QStringLiteral(" \n "));
    stroke({300, 250}); // a click elsewhere commits, and starts the next text
    gestures.commitTextEditing();
    EXPECT_EQ(model.annotations().size(), 1);
    EXPECT_EQ(undoSteps(), 1);

    // Emptying an existing text removes it; one undo brings it back.
    model.tools().setTool(AnnotationTool::select);
    stroke({60, 60}, {}, 1, 2);
    ASSERT_TRUE(gestures.isEditingText());
    gestures.setEditedText(QString());
    gestures.commitTextEditing();
    EXPECT_TRUE(model.annotations().isEmpty());
    model.undo();
    EXPECT_EQ(only().text, QStringLiteral(" Hi "));
}

TEST(CanvasLayoutTest, FitsWithoutAnUpperScaleAndPadsAsTheExportDoes)
{
    struct Row {
        QSizeF view;
        QSize image;
        double padding; // < 0: no backdrop
        QRectF imageRect;
    };
    // clang-format off
    const Row rows[] = {
        {{452, 352}, {100, 50},  -1,    {26, 76, 400, 200}},  // enlarged four times
        {{352, 352}, {100, 100}, 0.25,  {76, 76, 200, 200}},  // 25 px of padding each side
        {{352, 352}, {100, 100}, 0.259, {76, 76, 200, 200}},  // 25.9 px counts as 25
        {{54, 300},  {100, 100}, -1,    {}},                   // no room
    };
    // clang-format on
    for (const Row &row : rows) {
        Backdrop backdrop;
        backdrop.isOn = row.padding >= 0;
        backdrop.padding = row.padding;
        const CanvasLayout layout = CanvasLayout::compute(row.view, row.image, backdrop);
        EXPECT_EQ(layout.image, row.imageRect) << row.view.width();
    }
    const CanvasLayout layout = CanvasLayout::compute({452, 352}, {100, 50}, Backdrop());
    EXPECT_EQ(layout.toImage({126, 126}), QPointF(25, 12.5));
    EXPECT_EQ(layout.toImage({-9000, 9000}), QPointF(0, 50));
}

// Repaints cover the paint area only: anything drawn outside it would be left
// behind on screen when the annotation moves.
TEST(CanvasGeometryTest, EveryToolDrawsInsideItsPaintArea)
{
    const QImage base = solidImage({400, 300}, Qt::white);
    for (AnnotationTool tool : annotationTool::all()) {
        Annotation a = makeAnnotation(tool, {150, 120}, {230, 140}, 12);
        if (tool == AnnotationTool::arrow)
            a.end = {160, 220}; // a steep head sticks out sideways
        if (tool == AnnotationTool::text || tool == AnnotationTool::number)
            a.end = a.start;
        if (tool == AnnotationTool::freehand || tool == AnnotationTool::highlighter)
            a.points = {{150, 120}, {190, 160}, {230, 120}};
        a.text = QStringLiteral("Wide words, and more of them");
        QImage drawn(base.size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        AnnotationRenderer::render(painter, {a}, base, QSizeF(base.size()));
        painter.end();
        const QRect area = canvasGeometry::paintBounds(a, QSizeF(base.size())).toAlignedRect();
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                if (qAlpha(drawn.pixel(x, y)) != 0 && !area.contains(x, y)) {
                    ADD_FAILURE() << annotationTool::rawValue(tool).toStdString() << " at " << x
                                  << "," << y;
                    x = drawn.width(), y = drawn.height();
                }
    }
}
