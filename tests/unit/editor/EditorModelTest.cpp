#include "editor/EditorModel.h"
#include "support/TemporarySettings.h"
#include "unit/editor/EditorTestSupport.h"

#include <QColorSpace>
#include <QPainter>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;

namespace
{

class EditorModelTest : public ::testing::Test
{
  protected:
    TemporarySettings settings;

    std::unique_ptr<EditorModel> makeModel(const QImage &image,
                                           std::optional<QString> name = QStringLiteral("x.png"))
    {
        return std::make_unique<EditorModel>(image, CaptureKind::screenshot, name,
                                             *settings.settings);
    }
    std::unique_ptr<EditorModel> makeModel(QSize size)
    {
        return makeModel(solidImage(size, Qt::white));
    }

    static Annotation find(const EditorModel &model, const QUuid &id)
    {
        return *std::find_if(model.annotations().begin(), model.annotations().end(),
                             [&](const Annotation &a) { return a.id == id; });
    }
    // One undoable change: a new annotation.
    static void change(EditorModel &model, double x = 10)
    {
        model.pushUndo();
        model.add(makeAnnotation(AnnotationTool::rectangle, {x, x}, {x + 5, x + 5}));
    }
};

} // namespace

TEST_F(EditorModelTest, NamesTheFileFromTheSettings)
{
    settings.settings->nameTemplate.set(QStringLiteral("Shot {date}"));
    settings.settings->imageFormat.set(ImageFormat::jpeg);
    const QString name = makeModel(solidImage({10, 10}), std::nullopt)->fileName();
    EXPECT_TRUE(name.startsWith("Shot 2") && name.endsWith(".jpg")) << name.toStdString();
}

TEST_F(EditorModelTest, UndoKeepsTheNewestFortyChangesAndAtMostEightDistinctImages)
{
    auto model = makeModel(QSize(400, 400));
    for (int i = 0; i < 45; ++i)
        change(*model);
    ASSERT_EQ(model->history().undoStack().size(), 40);
    // The oldest five (with 0 … 4 annotations) are gone.
    EXPECT_EQ(model->history().undoStack().first().annotations.size(), 5);

    model = makeModel(QSize(400, 400));
    QList<qint64> images = {model->image().cacheKey()};
    for (int i = 0; i < 10; ++i) {
        change(*model, 100); // between the crops, so snapshots share images
        model->setCropRect(QRectF(0, 0, 390 - 10 * i, 390 - 10 * i));
        model->applyCrop();
        images.append(model->image().cacheKey());
    }
    // Each of the newest eight images before the last crop is in two snapshots.
    const auto &stack = model->history().undoStack();
    ASSERT_EQ(stack.size(), 2 * 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(stack[2 * i + 1].image.cacheKey(), images[2 + i]) << i;
}

TEST_F(EditorModelTest, AGestureOrARunOfNudgesIsOneStep)
{
    // b/e begin and end a gesture, m moves the box to the next point, n nudges it by
    // (1, 0), s records a step, u undoes, o nudges and d drags another annotation.
    // "be" is a click; "bmme" drags the box back to its start; in "bmsme" the part
    // before the step stays; in "bmue" undo takes back the gesture so far; a click
    // between nudges ("nbenn") starts a new run.
    const struct {
        const char *script;
        QList<QPointF> points;
        int steps;
        QPointF afterUndo;
    } rows[] = {{"be", {}, 0, {10, 10}},
                {"bmmme", {{15, 12}, {30, 40}, {50, 20}}, 1, {10, 10}},
                {"bmme", {{15, 12}, {10, 10}}, 0, {10, 10}},
                {"bmsme", {{15, 12}, {50, 20}}, 2, {15, 12}},
                {"bmue", {{15, 12}}, 0, {10, 10}},
                {"nnn", {}, 1, {10, 10}},
                {"nunn", {}, 1, {10, 10}},
                {"nsnn", {}, 3, {11, 10}},
                {"nonn", {}, 3, {11, 10}},
                {"ndnn", {}, 3, {11, 10}},
                {"nbenn", {}, 2, {11, 10}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.script);
        auto model = makeModel(QSize(100, 100));
        const Annotation box = makeAnnotation(AnnotationTool::rectangle, {10, 10}, {20, 20});
        const Annotation other = makeAnnotation(AnnotationTool::rectangle, {50, 50}, {60, 60});
        model->setAnnotations({box, other});
        auto point = row.points.begin();
        for (const char op : std::string_view(row.script)) {
            if (op == 'b' || op == 'd')
                model->beginGesture();
            if (op == 'm' || op == 'd') {
                Annotation moved = find(*model, op == 'm' ? box.id : other.id);
                moved.translate((op == 'm' ? *point++ : QPointF(70, 70)) - moved.start);
                model->replaceAnnotation(moved);
            }
            if (op == 'e' || op == 'd')
                model->endGesture();
            if (op == 'n' || op == 'o') {
                model->setSelectedID(op == 'n' ? box.id : other.id);
                model->nudgeSelected({1, 0});
            }
            if (op == 's')
                model->pushUndo();
            if (op == 'u')
                model->undo();
        }
        EXPECT_EQ(model->history().undoStack().size(), row.steps);
        model->undo();
        EXPECT_EQ(find(*model, box.id).start, row.afterUndo);
    }
}

TEST_F(EditorModelTest, AvailabilitySignalReportsOnlyChanges)
{
    auto model = makeModel(QSize(100, 100));
    QList<std::pair<bool, bool>> reported; // (canUndo, canRedo)
    QObject::connect(&model->history(), &UndoHistory::availabilityChanged, model.get(),
                     [&](bool u, bool r) {
                         reported.append({u, r});
                     });
    model->clearAll(); // nothing to clear
    change(*model);
    model->nudgeSelected({1, 1});
    model->nudgeSelected({1, 1});
    for (int i = 0; i < 3; ++i)
        model->undo(); // the third finds nothing left
    model->redo();
    model->beginGesture(); // a click
    model->endGesture();
    model->clearAll();
    EXPECT_EQ(reported,
              (QList<std::pair<bool, bool>>{
                  {true, false}, {true, true}, {false, true}, {true, true}, {true, false}}));
}

TEST_F(EditorModelTest, CropRoundsOutwardAndDropsSmallAreas)
{
    const struct {
        const char *name;
        QRectF crop;
        std::optional<QSize> size; // none: dropped
    } rows[] = {
        {"fractions round outward", QRectF(10.4, 20.6, 30.2, 40.1), QSize(31, 41)},
        {"dragged backwards", QRectF(50, 60, -20, -30), QSize(20, 30)},
        {"clipped to the image", QRectF(-5, -5, 20, 20), QSize(15, 15)},
        {"3.5 wide grows to 4", QRectF(10.2, 10, 3.5, 10), QSize(4, 10)},
        {"3 wide is too narrow", QRectF(10, 10, 3, 10), std::nullopt},
        {"narrow after clipping", QRectF(98, 10, 10, 10), std::nullopt},
        {"wholly outside", QRectF(150, 10, 10, 10), std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        auto model = makeModel(QSize(100, 80));
        const Annotation mark = makeAnnotation(AnnotationTool::line, {1, 1}, {99, 79});
        model->setAnnotations({mark});
        model->setCropRect(row.crop);
        model->applyCrop();
        EXPECT_EQ(model->cropRect(), std::nullopt);
        EXPECT_EQ(model->image().size(), row.size.value_or(QSize(100, 80)));
        EXPECT_EQ(model->history().undoStack().size(), row.size ? 1 : 0);
        EXPECT_TRUE(row.size || model->annotations() == QList<Annotation>{mark});
    }
}

TEST_F(EditorModelTest, CropMovesAnnotationsDropsThoseOutsideAndUndoes)
{
    QImage image = solidImage({100, 100}, Qt::white);
    QPainter(&image).fillRect(QRect(40, 40, 30, 30), Qt::blue);
    auto model = makeModel(image);
    const qint64 original = model->image().cacheKey();
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
    const QList<Annotation> all = {stroke,     textInside, textOnRightEdge, badgeOnLeftEdge,
                                   lineAcross, lineAbove,  pokingIn,        touchingLeft};
    model->setAnnotations(all);
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
    EXPECT_EQ(kept[1].end, QPointF(5, 5));
    EXPECT_EQ(kept[3].start, QPointF(-40, 10));

    model->setSelectedID(kept[0].id);
    model->undo();
    EXPECT_EQ(model->image().cacheKey(), original);
    EXPECT_EQ(model->annotations(), all);
    EXPECT_EQ(model->selectedID(), std::nullopt);
    model->redo();
    EXPECT_EQ(model->image().size(), QSize(30, 30));
    model->undo();
    change(*model);
    EXPECT_FALSE(model->history().canRedo());
}

TEST_F(EditorModelTest, RemovingAndClearingDropTheSelection)
{
    auto model = makeModel(QSize(50, 50));
    Annotation text = makeAnnotation(AnnotationTool::text, {5, 5}, {5, 5});
    model->add(text);
    model->add(makeAnnotation(AnnotationTool::line, {1, 1}, {9, 9}));
    model->add(text); // the same id twice
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

TEST_F(EditorModelTest, FlattenedImageIsTheImageOrItsBackdropFramingIt)
{
    auto plain = makeModel(solidImage({120, 80}, QColor(10, 200, 30)));
    plain->add(makeAnnotation(AnnotationTool::line, {10, 40}, {110, 40}, 6));
    plain->setCropRect(QRectF(0, 0, 20, 20)); // pending, not applied
    const QImage drawn = plain->flattenedImage();
    ASSERT_EQ(drawn.size(), QSize(120, 80));
    EXPECT_EQ(drawn.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(drawn.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(drawn.pixel(60, 40), qRgb(255, 0, 0));
    EXPECT_TRUE(makeModel(QImage())->flattenedImage().isNull());

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

    backdrop.padding = -0.2; // nothing to frame
    model->setBackdrop(backdrop);
    EXPECT_EQ(model->flattenedImage().size(), QSize(400, 250));
    // Stored or typed-in preset indices outside the list are clamped to it.
    for (const int index : {-3, 99}) {
        backdrop.presetIndex = index;
        EXPECT_EQ(&backdrop.preset(),
                  index < 0 ? &Backdrop::presets().first() : &Backdrop::presets().last());
    }
}
