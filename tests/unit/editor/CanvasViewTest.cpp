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
    QPlainTextEdit *editor() const { return view.findChild<QPlainTextEdit *>(); }
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
    EXPECT_FALSE(editor() && editor()->isVisible());
}
