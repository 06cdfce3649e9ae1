#include "editor/EditorModel.h"
#include "unit/editor/EditorTestSupport.h"

#include <QColorSpace>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;

namespace
{

class EditorModelTest : public ::testing::Test
{
  protected:
    TestSettings settings;

    std::unique_ptr<EditorModel> makeModel(const QImage &image,
                                           std::optional<QString> name = QStringLiteral("x.png"))
    {
        return std::make_unique<EditorModel>(image, CaptureKind::screenshot, name,
                                             *settings.settings);
    }

    static QPointF startOf(const EditorModel &model, const QUuid &id)
    {
        for (const Annotation &annotation : model.annotations()) {
            if (annotation.id == id)
                return annotation.start;
        }
        return {-1, -1};
    }

    static void moveTo(EditorModel &model, const QUuid &id, QPointF start)
    {
        for (Annotation moved : model.annotations()) {
            if (moved.id == id) {
                moved.translate(start - moved.start);
                model.replaceAnnotation(moved);
                return;
            }
        }
    }

    // One undoable change: a new annotation.
    static void change(EditorModel &model, double x = 10)
    {
        model.pushUndo();
        model.add(makeAnnotation(AnnotationTool::rectangle, {x, x}, {x + 5, x + 5}));
    }
};

} // namespace

TEST_F(EditorModelTest, ToolSettingsScaleWithWideImages)
{
    struct Row {
        int width;
        double scale;
    };
    for (const Row &row : {Row{3200, 2.0}, Row{1600, 1.0}, Row{800, 1.0}, Row{4000, 2.5}}) {
        SCOPED_TRACE(row.width);
        auto model = makeModel(solidImage({row.width, 100}, Qt::white));
        const ToolSettings &tools = model->tools();
        EXPECT_DOUBLE_EQ(tools.lineWidth(), settings.settings->annotationLineWidth() * row.scale);
        EXPECT_DOUBLE_EQ(tools.fontSize(), settings.settings->annotationFontSize() * row.scale);
        EXPECT_DOUBLE_EQ(tools.blurRadius(), settings.settings->blurRadius() * row.scale);
        EXPECT_DOUBLE_EQ(tools.pixelScale(), settings.settings->pixelateScale() * row.scale);
    }
}

TEST_F(EditorModelTest, DefaultFileNameFollowsTemplateAndFormat)
{
    settings.settings->nameTemplate.set(QStringLiteral("Shot {date}"));
    settings.settings->imageFormat.set(ImageFormat::jpeg);
    auto model = makeModel(solidImage({10, 10}, Qt::white), std::nullopt);
    EXPECT_TRUE(model->fileName().startsWith(QStringLiteral("Shot 2")));
    EXPECT_TRUE(model->fileName().endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(makeModel(solidImage({10, 10}, Qt::white))->fileName(), QStringLiteral("x.png"));
}

TEST_F(EditorModelTest, UndoKeepsTheNewestFortyChanges)
{
    auto model = makeModel(solidImage({200, 200}, Qt::white));
    for (int i = 0; i < 45; ++i)
        change(*model);
    ASSERT_EQ(model->history().undoStack().size(), 40);
    // The oldest five (with 0 … 4 annotations) are gone.
    EXPECT_EQ(model->history().undoStack().first().annotations.size(), 5);
    EXPECT_EQ(model->history().undoStack().last().annotations.size(), 44);
}

TEST_F(EditorModelTest, UndoKeepsAtMostEightDistinctImages)
{
    auto model = makeModel(solidImage({400, 400}, Qt::white));
    QList<qint64> images = {model->image().cacheKey()};
    for (int i = 0; i < 10; ++i) {
        change(*model, 100); // between the crops, so snapshots share images
        model->setCropRect(QRectF(0, 0, 390 - 10 * i, 390 - 10 * i));
        model->applyCrop();
        images.append(model->image().cacheKey());
    }
    QSet<qint64> distinct;
    for (const auto &snapshot : model->history().undoStack())
        distinct.insert(snapshot.image.cacheKey());
    EXPECT_EQ(distinct.size(), 8);
    // The snapshots left are those of the newest eight images before the last crop.
    EXPECT_EQ(model->history().undoStack().first().image.cacheKey(), images[2]);
    EXPECT_EQ(model->history().undoStack().last().image.cacheKey(), images[9]);
    // Each image appears in two snapshots (the change, then the crop).
    EXPECT_EQ(model->history().undoStack().size(), 2 * 8);
}

TEST_F(EditorModelTest, UndoAfterCropRestoresEverything)
{
    auto model = makeModel(solidImage({200, 100}, Qt::white));
    const qint64 original = model->image().cacheKey();
    const Annotation inside = makeAnnotation(AnnotationTool::rectangle, {60, 30}, {80, 50});
    const Annotation outside = makeAnnotation(AnnotationTool::rectangle, {150, 10}, {190, 20});
    model->setAnnotations({inside, outside});
    model->setSelectedID(inside.id);
    model->setCropRect(QRectF(50, 20, 60, 60));
    model->applyCrop();
    ASSERT_EQ(model->image().size(), QSize(60, 60));
    ASSERT_EQ(model->annotations().size(), 1);

    model->setSelectedID(model->annotations().first().id);
    model->undo();
    EXPECT_EQ(model->image().cacheKey(), original);
    EXPECT_EQ(model->annotations(), (QList<Annotation>{inside, outside}));
    EXPECT_EQ(model->selectedID(), std::nullopt);
    EXPECT_TRUE(model->history().canRedo());

    model->redo();
    EXPECT_EQ(model->image().size(), QSize(60, 60));
    model->undo();
    change(*model);
    EXPECT_FALSE(model->history().canRedo());
}

TEST_F(EditorModelTest, GestureIsOneStepWhenItChangedSomething)
{
    struct Row {
        const char *name;
        QList<QPointF> moves; // positions during the gesture, or step or undo
        int steps;
        QPointF afterUndo;
    };
    const QPointF step(-1, -1), undo(-2, -2);
    const Row rows[] = {
        {"click", {}, 0, {10, 10}},
        {"drag", {{15, 12}, {30, 40}, {50, 20}}, 1, {10, 10}},
        {"drag back to the start", {{15, 12}, {10, 10}}, 0, {10, 10}},
        // The gesture's part before the step stays undoable on its own.
        {"step inside", {{15, 12}, step, {50, 20}}, 2, {15, 12}},
        // Undo takes back what the gesture did so far; its end adds nothing.
        {"undo inside", {{15, 12}, undo}, 0, {10, 10}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto model = makeModel(solidImage({100, 100}, Qt::white));
        const Annotation box = makeAnnotation(AnnotationTool::rectangle, {10, 10}, {20, 20});
        model->setAnnotations({box});
        model->setSelectedID(box.id);
        model->beginGesture();
        for (const QPointF &position : row.moves) {
            if (position == step)
                model->pushUndo();
            else if (position == undo)
                model->undo();
            else
                moveTo(*model, box.id, position);
        }
        model->endGesture();
        EXPECT_EQ(model->history().undoStack().size(), row.steps);
        model->undo();
        EXPECT_EQ(startOf(*model, box.id), row.afterUndo);
    }
}

TEST_F(EditorModelTest, NudgesInARowAreOneStep)
{
    using Between = std::function<void(EditorModel &, const QUuid &other)>;
    struct Row {
        const char *name;
        Between between; // after the first nudge; the box is selected again after it
        int steps;
        QPointF afterUndo;
    };
    const Row rows[] = {
        {"nothing between", [](EditorModel &, const QUuid &) {}, 1, {10, 10}},
        {"another step between",
         [](EditorModel &model, const QUuid &) {
             model.pushUndo();
             model.setNextNumber(5);
         },
         3,
         {11, 10}},
        {"undo between", [](EditorModel &model, const QUuid &) { model.undo(); }, 1, {10, 10}},
        {"another annotation nudged between",
         [](EditorModel &model, const QUuid &other) {
             model.setSelectedID(other);
             model.nudgeSelected({0, 10});
         },
         3,
         {11, 10}},
        {"another annotation dragged between",
         [](EditorModel &model, const QUuid &other) {
             model.setSelectedID(other);
             model.beginGesture();
             moveTo(model, other, {70, 70});
             model.endGesture();
         },
         3,
         {11, 10}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto model = makeModel(solidImage({100, 100}, Qt::white));
        const Annotation box = makeAnnotation(AnnotationTool::rectangle, {10, 10}, {20, 20});
        const Annotation other = makeAnnotation(AnnotationTool::rectangle, {50, 50}, {60, 60});
        model->setAnnotations({box, other});
        model->setSelectedID(box.id);
        model->nudgeSelected({1, 0});
        row.between(*model, other.id);
        model->setSelectedID(box.id);
        model->nudgeSelected({0, 1});
        model->nudgeSelected({10, 0});
        EXPECT_EQ(model->history().undoStack().size(), row.steps);
        model->undo();
        EXPECT_EQ(startOf(*model, box.id), row.afterUndo);
    }
}

TEST_F(EditorModelTest, AvailabilitySignalFollowsEachChange)
{
    auto model = makeModel(solidImage({100, 100}, Qt::white));
    QSignalSpy spy(&model->history(), &UndoHistory::availabilityChanged);
    struct Row {
        const char *name;
        std::function<void(EditorModel &)> action;
        std::optional<std::pair<bool, bool>> emitted; // (canUndo, canRedo)
    };
    const Row rows[] = {
        {"clearAll with nothing", [](EditorModel &m) { m.clearAll(); }, std::nullopt},
        {"first step", [](EditorModel &m) { change(m); }, {{true, false}}},
        {"second step",
         [](EditorModel &m) {
             m.nudgeSelected({1, 1});
         },
         std::nullopt},
        {"merged nudge",
         [](EditorModel &m) {
             m.nudgeSelected({1, 1});
         },
         std::nullopt},
        {"undo one of two", [](EditorModel &m) { m.undo(); }, {{true, true}}},
        {"undo the last", [](EditorModel &m) { m.undo(); }, {{false, true}}},
        {"undo with none left", [](EditorModel &m) { m.undo(); }, std::nullopt},
        {"redo", [](EditorModel &m) { m.redo(); }, {{true, true}}},
        {"click",
         [](EditorModel &m) {
             m.beginGesture();
             m.endGesture();
         },
         std::nullopt},
        {"new step empties redo", [](EditorModel &m) { m.clearAll(); }, {{true, false}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        spy.clear();
        row.action(*model);
        ASSERT_EQ(spy.count(), row.emitted ? 1 : 0);
        if (row.emitted) {
            EXPECT_EQ(spy.first().at(0).toBool(), row.emitted->first);
            EXPECT_EQ(spy.first().at(1).toBool(), row.emitted->second);
        }
    }
}

TEST_F(EditorModelTest, CropRoundsOutwardAndDropsSmallAreas)
{
    struct Row {
        const char *name;
        QRectF crop;
        std::optional<QSize> size; // none: dropped
    };
    const Row rows[] = {
        {"fractions round outward", QRectF(10.4, 20.6, 30.2, 40.1), QSize(31, 41)},
        {"dragged backwards", QRectF(50, 60, -20, -30), QSize(20, 30)},
        {"clipped to the image", QRectF(-5, -5, 20, 20), QSize(15, 15)},
        {"3.5 wide grows to 4", QRectF(10.2, 10, 3.5, 10), QSize(4, 10)},
        {"3 wide is too narrow", QRectF(10, 10, 3, 10), std::nullopt},
        {"narrow after clipping", QRectF(98, 10, 10, 10), std::nullopt},
        {"wholly outside", QRectF(150, 10, 10, 10), std::nullopt},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto model = makeModel(solidImage({100, 80}, Qt::white));
        const Annotation mark = makeAnnotation(AnnotationTool::line, {1, 1}, {99, 79});
        model->setAnnotations({mark});
        model->setCropRect(row.crop);
        const qint64 revision = model->revision();
        QSignalSpy changed(model.get(), &EditorModel::changed);
        model->applyCrop();
        EXPECT_EQ(model->revision(), revision + 1);
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(model->cropRect(), std::nullopt);
        if (row.size) {
            EXPECT_EQ(model->image().size(), *row.size);
            EXPECT_EQ(model->history().undoStack().size(), 1);
        } else {
            EXPECT_EQ(model->image().size(), QSize(100, 80));
            EXPECT_TRUE(model->history().undoStack().isEmpty());
            EXPECT_EQ(model->annotations(), QList<Annotation>{mark});
        }
    }
}

TEST_F(EditorModelTest, CropMovesAnnotationsAndDropsThoseOutside)
{
    QImage image = solidImage({100, 100}, Qt::white);
    QPainter(&image).fillRect(QRect(40, 40, 30, 30), Qt::blue);
    auto model = makeModel(image);
    Annotation stroke = makeAnnotation(AnnotationTool::freehand, {}, {}, 2);
    stroke.points = {{45, 45}, {50, 60}};
    // Zero-size bounds count on the minimum edges, not on the maximum ones.
    const Annotation textInside = makeAnnotation(AnnotationTool::text, {45, 45}, {45, 45});
    const Annotation textOnRightEdge = makeAnnotation(AnnotationTool::text, {70, 50}, {70, 50});
    const Annotation badgeOnLeftEdge = makeAnnotation(AnnotationTool::number, {40, 50}, {40, 50});
    const Annotation lineAcross = makeAnnotation(AnnotationTool::line, {0, 50}, {100, 50});
    const Annotation lineAbove = makeAnnotation(AnnotationTool::line, {45, 35}, {65, 35});
    // Areas must overlap; touching an edge is not enough.
    const Annotation pokingIn = makeAnnotation(AnnotationTool::rectangle, {20, 20}, {41, 41});
    const Annotation touchingLeft = makeAnnotation(AnnotationTool::rectangle, {20, 50}, {40, 55});
    const Annotation farAway = makeAnnotation(AnnotationTool::rectangle, {0, 0}, {10, 10});
    model->setAnnotations({stroke, farAway, textInside, textOnRightEdge, badgeOnLeftEdge,
                           lineAcross, lineAbove, pokingIn, touchingLeft});
    model->setCropRect(QRectF(40, 40, 30, 30));
    model->applyCrop();

    EXPECT_EQ(model->image().pixel(0, 0), qRgb(0, 0, 255));
    const QList<Annotation> &kept = model->annotations();
    QList<QUuid> ids;
    for (const Annotation &annotation : kept)
        ids.append(annotation.id);
    ASSERT_EQ(ids, (QList<QUuid>{stroke.id, textInside.id, badgeOnLeftEdge.id, lineAcross.id,
                                 pokingIn.id}));
    EXPECT_EQ(kept[0].points, (QList<QPointF>{{5, 5}, {10, 20}}));
    EXPECT_EQ(kept[1].start, QPointF(5, 5));
    EXPECT_EQ(kept[1].end, QPointF(5, 5));
    EXPECT_EQ(kept[3].start, QPointF(-40, 10));
}

TEST_F(EditorModelTest, RemovingAndClearingDropTheSelection)
{
    auto model = makeModel(solidImage({50, 50}, Qt::white));
    model->clearAll(); // nothing to clear: no undo step, no redraw
    EXPECT_TRUE(model->history().undoStack().isEmpty());
    EXPECT_EQ(model->revision(), 0);
    Annotation text = makeAnnotation(AnnotationTool::text, {5, 5}, {5, 5});
    model->add(text);
    model->add(makeAnnotation(AnnotationTool::line, {1, 1}, {9, 9}));
    model->add(text); // the same id twice
    EXPECT_EQ(model->selectedAnnotation(), text);
    model->setEditingTextID(text.id);
    model->remove(text.id);
    EXPECT_EQ(model->annotations().size(), 1);
    EXPECT_EQ(model->selectedID(), std::nullopt);
    EXPECT_EQ(model->editingTextID(), std::nullopt);

    model->setNextNumber(4);
    change(*model); // selects the new annotation
    model->clearAll();
    EXPECT_TRUE(model->annotations().isEmpty());
    EXPECT_EQ(model->selectedID(), std::nullopt);
    EXPECT_EQ(model->nextNumber(), 4);
    model->undo();
    EXPECT_EQ(model->annotations().size(), 2);
}

TEST_F(EditorModelTest, FlattenedImageWithoutBackdropHasTheImageSize)
{
    QImage image = solidImage({120, 80}, QColor(10, 200, 30));
    auto model = makeModel(image);
    model->add(makeAnnotation(AnnotationTool::line, {10, 40}, {110, 40}, 6));
    const QImage flat = model->flattenedImage();
    ASSERT_EQ(flat.size(), QSize(120, 80));
    EXPECT_EQ(flat.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(flat.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(flat.pixel(5, 5), qRgb(10, 200, 30));
    EXPECT_EQ(flat.pixel(60, 40), qRgb(255, 0, 0));
    // A pending crop is not applied.
    model->setCropRect(QRectF(0, 0, 20, 20));
    EXPECT_EQ(model->flattenedImage().size(), QSize(120, 80));

    EXPECT_TRUE(makeModel(QImage())->flattenedImage().isNull());
}

TEST_F(EditorModelTest, FlattenedImageWithBackdrop)
{
    struct Row {
        QSize image;
        double padding;
        QSize expected;
    };
    for (const Row &row : {Row{{1000, 500}, 0.07, {1140, 640}}, Row{{333, 101}, 0.07, {379, 147}},
                           Row{{200, 300}, 0.0, {200, 300}}, Row{{200, 300}, -0.2, {200, 300}}}) {
        auto model = makeModel(solidImage(row.image, Qt::white));
        Backdrop backdrop;
        backdrop.isOn = true;
        backdrop.padding = row.padding;
        model->setBackdrop(backdrop);
        EXPECT_EQ(model->flattenedImage().size(), row.expected);
    }
}

TEST_F(EditorModelTest, FlattenedBackdropFramesTheImageWithItsShadowBelow)
{
    QImage image = solidImage({400, 250}, QColor(245, 245, 245));
    QPainter(&image).fillRect(QRect(0, 0, 400, 28), QColor(60, 60, 70)); // a title bar
    auto model = makeModel(image);
    model->add(makeAnnotation(AnnotationTool::spotlight, {190, 50}, {390, 170}));
    Backdrop backdrop;
    backdrop.isOn = true;
    backdrop.presetIndex = 6;
    model->setBackdrop(backdrop);
    const QImage flat = model->flattenedImage();

    const int pad = 28; // 400 × 0.07
    ASSERT_EQ(flat.size(), QSize(400 + 2 * pad, 250 + 2 * pad));
    // The image sits inside the padding, annotations move with it: the title bar
    // lies outside the spotlight, the background inside it.
    EXPECT_LE(colorDistance(flat.pixel(pad + 100, pad + 14), qRgb(27, 27, 32)), 2);
    EXPECT_EQ(flat.pixel(pad + 380, pad + 160), qRgb(245, 245, 245));
    EXPECT_LE(colorDistance(flat.pixel(pad + 189, pad + 100), qRgb(110, 110, 110)), 2);
    // The corner is rounded: the backdrop shows there.
    EXPECT_GT(colorDistance(flat.pixel(pad, pad), qRgb(27, 27, 32)), 60);

    backdrop.shadow = 0;
    model->setBackdrop(backdrop);
    const QImage noShadow = model->flattenedImage();
    auto darkening = [&](int x, int y) {
        return qGray(noShadow.pixel(x, y)) - qGray(flat.pixel(x, y));
    };
    // Darker just below the image than just above it, the same on both sides.
    const int below = darkening(pad + 200, pad + 250 + 2);
    EXPECT_GT(below, 20);
    EXPECT_GT(below, darkening(pad + 200, pad - 3) + 10);
    EXPECT_NEAR(darkening(pad - 3, pad + 125), darkening(pad + 400 + 2, pad + 125), 3);
    EXPECT_EQ(darkening(1, 1), 0);
}
