#include "editor/EditorModel.h"
#include "editor/canvas/EditorCanvasView.h"
#include "support/TemporarySettings.h"
#include "unit/editor/EditorTestSupport.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;

namespace
{

class CanvasViewTest : public ::testing::Test
{
  protected:
    TemporarySettings settings;
    EditorModel model{solidImage({400, 300}, Qt::white), CaptureKind::screenshot,
                      QStringLiteral("x.png"), *settings.settings};
    // 400 × 300 in 452 × 352: one view point per pixel, the image at (26, 26).
    EditorCanvasView view{model};

    void SetUp() override
    {
        view.resize(452, 352);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    // The one in use; closed ones linger hidden until deleted later.
    QPlainTextEdit *editor() const
    {
        for (QPlainTextEdit *edit : view.findChildren<QPlainTextEdit *>())
            if (edit->isVisible())
                return edit;
        return nullptr;
    }
    // Where the view shows red (the text's colour) on the white capture.
    QRect redArea()
    {
        const QImage shot = view.grab().toImage();
        QRect area;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.red() > 160 && c.green() < 110 && c.blue() < 110)
                    area |= QRect(x, y, 1, 1);
            }
        return area;
    }
};

} // namespace

TEST_F(CanvasViewTest, LettersGoIntoTheTextWhileEditingAndSwitchToolsOtherwise)
{
    model.tools().setTool(AnnotationTool::text);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(76, 76));
    ASSERT_TRUE(view.isEditingText());
    ASSERT_TRUE(editor());
    QTest::keyClicks(editor(), QStringLiteral("Ra"));
    QTest::keyClick(editor(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(editor(), QStringLiteral("b"));
    QTest::keyClick(editor(), Qt::Key_Return);
    EXPECT_FALSE(view.isEditingText());
    ASSERT_EQ(model.annotations().size(), 1);
    EXPECT_EQ(model.annotations()[0].text, QStringLiteral("Ra\nb"));
    EXPECT_EQ(model.annotations()[0].start, QPointF(50, 50));
    EXPECT_EQ(model.tools().tool(), AnnotationTool::text);

    QTest::keyClick(&view, Qt::Key_R);
    EXPECT_EQ(model.tools().tool(), AnnotationTool::rectangle);
}

TEST_F(CanvasViewTest, AnUndoWhileTypingEndsTheEditWithoutAStrayAnnotation)
{
    model.tools().setTool(AnnotationTool::text);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(76, 76));
    QTest::keyClicks(editor(), QStringLiteral("abc"));
    model.undo();
    EXPECT_FALSE(view.isEditingText());
    EXPECT_TRUE(model.annotations().isEmpty());
    QApplication::processEvents();
    EXPECT_FALSE(editor());
}

TEST_F(CanvasViewTest, TypedTextStandsWhereItIsDrawnOnceCommitted)
{
    model.tools().setColorHex(QStringLiteral("#FF0000"));
    model.tools().setTool(AnnotationTool::text);
    for (const QSize size : {QSize(452, 352), QSize(852, 652)}) {
        view.resize(size);
        model.setAnnotations({});
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.rect().center());
        // Long enough to wrap at the image's right edge.
        QTest::keyClicks(editor(), QStringLiteral("Typed words wrap where the export wraps them"));
        const QRect typed = redArea();
        view.commitTextEditing();
        const QRect drawn = redArea();
        ASSERT_FALSE(drawn.isEmpty());
        EXPECT_LE((typed.topLeft() - drawn.topLeft()).manhattanLength(), 3) << size.width();
        EXPECT_LE((typed.bottomRight() - drawn.bottomRight()).manhattanLength(), 4) << size.width();
    }
}
