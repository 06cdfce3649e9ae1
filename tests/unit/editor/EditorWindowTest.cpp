#include "editor/ui/EditorWindow.h"
#include "editor/EditorModel.h"
#include "editor/canvas/EditorCanvasView.h"
#include "editor/ui/EditorButton.h"
#include "editor/ui/EditorTitleBar.h"
#include "editor/ui/EditorWindowController.h"
#include "editor/ui/EditorWindowSize.h"
#include "editor/ui/Inspector.h"
#include "editor/ui/InspectorControls.h"
#include "editor/ui/ModeSwitcher.h"
#include "editor/ui/SaveButton.h"
#include "editor/ui/ToolRail.h"
#include "support/TemporarySettings.h"
#include "unit/editor/EditorTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;

TEST(EditorWindowSizeTest, ScalesTheImageIntoTheWindowAndKeepsTheFloors)
{
    struct Case {
        QSize pixels;
        double k;
        QSizeF content;
    } cases[] = {
        {{2368, 1540}, 0.5, {1600, 930}},
        {{4736, 1540}, 0.25, {1600, 560}}, // 545 raised to the floor
        {{300, 200}, 1, {1100, 560}},
        {{1, 1}, 1, {1100, 560}},
        // A one-pixel dimension does not shrink the other one.
        {{1, 3080}, 0.25, {1100, 930}},
        {{4736, 1}, 0.25, {1600, 560}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.pixels.width() << "x" << c.pixels.height());
        EXPECT_DOUBLE_EQ(editorWindowSize::initialScale(c.pixels), c.k);
        EXPECT_EQ(editorWindowSize::contentSize(c.pixels), c.content);
    }
}

TEST(EditorWindowSizeTest, PlacesTheWindowCentredAndNeverLargerThanTheScreen)
{
    const QRect screen(1920, 30, 1280, 770); // a second screen below a panel
    const QRect fits = editorWindowSize::placement({1100, 560}, {1000, 640}, screen);
    EXPECT_EQ(fits.size(), QSize(1100, 640));
    EXPECT_EQ(fits.center(), screen.center());
    const QRect large = editorWindowSize::placement({1600, 930}, {1000, 640}, screen);
    EXPECT_EQ(large, screen);
}

namespace
{

class EditorWindowTest : public ::testing::Test
{
  protected:
    TemporarySettings settings;
    QStringList toasts;
    int copies = 0;
    QStringList revealed;
    QString folder;

    void SetUp() override
    {
        folder = settings.dir.filePath(QStringLiteral("Shots"));
        settings.settings->saveDirectoryPath.set(folder);
        settings.settings->playSound.set(false);
        settings.settings->copyToClipboard.set(false);
    }

    EditorWindowController *open(QSize size = {400, 300})
    {
        EditorActions actions;
        actions.toast = [this](const QString &message, const QString &, double) {
            toasts.append(message);
        };
        actions.copy = [this](const QImage &) { ++copies; };
        actions.reveal = [this](const QString &path) { revealed.append("file " + path); };
        actions.openFolder = [this](const QString &path) { revealed.append("folder " + path); };
        auto *controller = EditorWindowController::open(
            solidImage(size, Qt::white), CaptureKind::screenshot, QStringLiteral("Shot.png"),
            std::nullopt, *settings.settings, actions);
        opened.append(controller);
        return controller;
    }
    static EditorWindow *windowOf(EditorWindowController *controller)
    {
        return qobject_cast<EditorWindow *>(controller->window());
    }
    static bool saveAndWait(EditorWindowController *controller)
    {
        QSignalSpy finished(controller, &EditorWindowController::saveFinished);
        controller->save();
        // A save that fails at once may report before save() returns.
        if (finished.isEmpty() && !finished.wait(10000)) {
            ADD_FAILURE() << "the save did not finish";
            return false;
        }
        return finished.constLast().constFirst().toBool();
    }
    QStringList savedFiles() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }
    // Places a text with the text tool and returns its in-place editor.
    static QPlainTextEdit *startText(EditorWindow *window)
    {
        window->model().tools().setTool(AnnotationTool::text);
        EditorCanvasView *canvas = window->canvas();
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->rect().center());
        for (QPlainTextEdit *edit : canvas->findChildren<QPlainTextEdit *>())
            if (edit->isVisible())
                return edit;
        ADD_FAILURE() << "no text editor";
        return nullptr;
    }
    static void addAnnotation(EditorModel &model)
    {
        model.pushUndo();
        model.add(makeAnnotation(AnnotationTool::rectangle, {10, 10}, {60, 50}));
    }

    void TearDown() override
    {
        for (const QPointer<EditorWindowController> &controller : opened)
            delete controller.data();
    }

  private:
    QList<QPointer<EditorWindowController>> opened;
};

} // namespace

TEST_F(EditorWindowTest, SavingAgainWritesTheSameFileUntilTheFormatChanges)
{
    EditorWindowController *editor = open();
    ASSERT_TRUE(saveAndWait(editor));
    ASSERT_TRUE(saveAndWait(editor));
    EXPECT_EQ(savedFiles(), QStringList{QStringLiteral("Shot.png")});
    EXPECT_EQ(editor->model().saveCount(), 2);
    EXPECT_EQ(toasts.constLast(), QStringLiteral("Saved to Shots"));
    EXPECT_TRUE(windowOf(editor)->titleBar()->saveButton()->isConfirming());

    EXPECT_EQ(copies, 0);
    settings.settings->imageFormat.set(ImageFormat::jpeg);
    settings.settings->copyToClipboard.set(true);
    ASSERT_TRUE(saveAndWait(editor));
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(savedFiles(), (QStringList{QStringLiteral("Shot.jpg"), QStringLiteral("Shot.png")}));
    EXPECT_EQ(editor->model().lastSavedURL()->toLocalFile(), QDir(folder).filePath("Shot.jpg"));
    // What was written is the picture, not just a file.
    EXPECT_EQ(QImage(QDir(folder).filePath("Shot.png")).size(), QSize(400, 300));
}

TEST_F(EditorWindowTest, AOnePixelCaptureSavesAsOnePixel)
{
    EditorWindowController *editor = open({1, 1});
    ASSERT_TRUE(saveAndWait(editor));
    EXPECT_EQ(QImage(QDir(folder).filePath("Shot.png")).size(), QSize(1, 1));
}

TEST_F(EditorWindowTest, ASaveWhileOneRunsFollowsItIntoTheSameFile)
{
    EditorWindowController *editor = open({3840, 2160});
    QSignalSpy finished(editor, &EditorWindowController::saveFinished);
    editor->save();
    EXPECT_TRUE(editor->isSaving());
    addAnnotation(editor->model());
    editor->save();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 2; }, 20000));
    EXPECT_EQ(savedFiles(), QStringList{QStringLiteral("Shot.png")});
    EXPECT_EQ(editor->model().saveCount(), 2);

    // Closed while saving: the Save queued behind still writes, and the
    // controller goes only after it reported.
    QPointer<EditorWindowController> alive(editor);
    editor->save();
    addAnnotation(editor->model());
    editor->save();
    editor->window()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 20000));
    ASSERT_EQ(finished.size(), 4);
    EXPECT_TRUE(finished.constLast().constFirst().toBool());
    const QImage written(QDir(folder).filePath("Shot.png"));
    EXPECT_NE(written.pixelColor(10, 30), QColor(Qt::white)) << "the second annotation is missing";
}

TEST_F(EditorWindowTest, AFailedSaveSaysWhyAndLeavesTheDocumentAsItWas)
{
    // A file where the folder should be: no folder can be made there, not even as root.
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EditorWindowController *editor = open();
    addAnnotation(editor->model());

    EXPECT_FALSE(saveAndWait(editor));
    EXPECT_TRUE(toasts.constLast().startsWith(QStringLiteral("Couldn't save: ")))
        << toasts.constLast().toStdString();
    EXPECT_EQ(editor->model().saveCount(), 0);
    EXPECT_FALSE(editor->model().lastSavedURL());
    EXPECT_EQ(editor->model().annotations().size(), 1);
    EXPECT_FALSE(windowOf(editor)->titleBar()->saveButton()->isConfirming());
}

TEST_F(EditorWindowTest, TheExportMenuOffersTheSavedFileAfterTheFirstSave)
{
    EditorWindowController *editor = open();
    QAction *reveal = windowOf(editor)->revealAction();
    EXPECT_EQ(reveal->text(), QStringLiteral("Open Save Folder"));
    // The disk is looked at in the background.
    const auto revealAndWait = [&] {
        const qsizetype before = revealed.size();
        reveal->trigger();
        EXPECT_TRUE(QTest::qWaitFor([&] { return revealed.size() > before; }, 10000));
    };
    revealAndWait();
    EXPECT_EQ(revealed, QStringList{"folder " + folder});
    EXPECT_TRUE(QFileInfo(folder).isDir());

    ASSERT_TRUE(saveAndWait(editor));
    EXPECT_EQ(reveal->text(), QStringLiteral("Show in File Manager"));
    const QString saved = QDir(folder).filePath("Shot.png");
    revealAndWait();
    // Once the file is gone, its folder opens instead.
    QFile::remove(saved);
    revealAndWait();
    EXPECT_EQ(revealed, (QStringList{"folder " + folder, "file " + saved, "folder " + folder}));
    // Without an upload service the item says why it cannot be used.
    EXPECT_FALSE(windowOf(editor)->uploadAction()->isEnabled());
    EXPECT_FALSE(windowOf(editor)->uploadAction()->toolTip().isEmpty());
}

TEST_F(EditorWindowTest, ModesFollowTheToolAndTheBackdrop)
{
    EditorWindowController *editor = open();
    EditorWindow *window = windowOf(editor);
    EditorModel &model = editor->model();

    // A tool from the rail while cropping drops the crop and leaves crop mode.
    window->select(EditorMode::crop);
    model.setCropRect(QRectF(10, 10, 100, 80));
    window->toolRail()->toolButton(AnnotationTool::freehand)->click();
    EXPECT_EQ(window->mode(), EditorMode::annotate);
    EXPECT_EQ(model.tools().tool(), AnnotationTool::freehand);
    EXPECT_FALSE(model.cropRect());
    EXPECT_TRUE(window->toolRail()->toolButton(AnnotationTool::freehand)->isChecked());
    // So does a tool letter: a later Return must not crop an area no longer shown.
    window->select(EditorMode::crop);
    model.setCropRect(QRectF(10, 10, 100, 80));
    QTest::keyClick(window->canvas(), Qt::Key_R);
    EXPECT_EQ(window->mode(), EditorMode::annotate);
    EXPECT_FALSE(model.cropRect());
    QTest::keyClick(window->canvas(), Qt::Key_Return);
    EXPECT_EQ(model.image().size(), QSize(400, 300));
    model.tools().setTool(AnnotationTool::freehand);

    // Beautify turns the backdrop on, annotating keeps it, "None" turns it off.
    window->select(EditorMode::beautify);
    EXPECT_TRUE(model.backdrop().isOn);
    window->select(EditorMode::annotate);
    EXPECT_TRUE(model.backdrop().isOn);
    window->select(EditorMode::beautify);
    window->inspector()->backdropTile(-1)->click();
    EXPECT_FALSE(model.backdrop().isOn);
    EXPECT_EQ(window->mode(), EditorMode::beautify);
    window->inspector()->backdropTile(2)->click();
    EXPECT_EQ(model.backdrop().presetIndex, 2);
    EXPECT_TRUE(model.backdrop().isOn);
    // A tool letter typed on the canvas ends beautifying too.
    model.tools().setTool(AnnotationTool::text);
    EXPECT_EQ(window->mode(), EditorMode::annotate);
    EXPECT_TRUE(model.backdrop().isOn);
    // Beautify from crop drops the crop tool but stays beautifying.
    window->select(EditorMode::crop);
    window->select(EditorMode::beautify);
    EXPECT_EQ(window->mode(), EditorMode::beautify);
    EXPECT_EQ(model.tools().tool(), AnnotationTool::arrow);
}

TEST_F(EditorWindowTest, ASwatchRecolorsOnlyTheSelectionAsOneUndoStep)
{
    EditorWindowController *editor = open();
    EditorModel &model = editor->model();
    Inspector *inspector = windowOf(editor)->inspector();
    SwatchButton *green = inspector->swatches().at(3);

    green->click();
    EXPECT_EQ(model.tools().colorHex().toUpper(), QStringLiteral("#34C759"));
    EXPECT_TRUE(green->isMarked());
    EXPECT_FALSE(model.history().canUndo());

    addAnnotation(model); // selected, red
    const qsizetype steps = model.history().undoStack().size();
    inspector->swatches().at(6)->click();
    EXPECT_EQ(model.history().undoStack().size(), steps + 1);
    EXPECT_EQ(model.annotations().constFirst().colorHex.toUpper(), QStringLiteral("#007AFF"));

    // While a text is typed, its colour belongs to the text's one step, and the
    // history's commands end the edit first: no step holds an empty, invisible text.
    EditorWindow *window = windowOf(editor);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ToolRail *rail = window->toolRail();
    const std::pair<const char *, std::function<void(QPlainTextEdit *)>> commands[] = {
        {"none", [](QPlainTextEdit *) {}},
        {"undo", [&](QPlainTextEdit *) { rail->undoButton()->click(); }},
        {"redo", [&](QPlainTextEdit *) { rail->redoButton()->click(); }},
        {"clear", [&](QPlainTextEdit *) { rail->clearButton()->click(); }},
        {"Ctrl+Y",
         [](QPlainTextEdit *edit) { QTest::keyClick(edit, Qt::Key_Y, Qt::ControlModifier); }},
    };
    for (const QString &typed : {QString(), QStringLiteral("Hi")}) {
        for (const auto &[name, command] : commands) {
            SCOPED_TRACE(name + (" " + typed.toStdString()));
            model.setAnnotations({});
            const qsizetype before = model.history().undoStack().size();
            QPlainTextEdit *edit = startText(window);
            ASSERT_TRUE(edit);
            green->click();
            QTest::keyClicks(edit, typed);
            command(edit);
            window->commitTextEditing();
            if (std::string_view(name) == "none") {
                EXPECT_EQ(model.history().undoStack().size(), before + (typed.isEmpty() ? 0 : 1));
            }
            QList<Annotation> everywhere = model.annotations();
            for (const auto *stack : {&model.history().undoStack(), &model.history().redoStack()}) {
                for (const UndoHistory::Snapshot &step : *stack)
                    everywhere += step.annotations;
            }
            for (const Annotation &a : everywhere) {
                if (a.tool != AnnotationTool::text)
                    continue;
                EXPECT_FALSE(a.text.isEmpty());
                EXPECT_EQ(a.colorHex.toUpper(), QStringLiteral("#34C759"));
            }
        }
    }
}

TEST_F(EditorWindowTest, ClosingForgetsTheEditorWithoutAsking)
{
    EditorWindowController *editor = open();
    QPointer<EditorWindowController> alive(editor);
    addAnnotation(editor->model());
    ASSERT_TRUE(EditorWindowController::openEditors().contains(editor));
    EXPECT_EQ(editor->window()->objectName(), QStringLiteral("ZorvEditor"));
    EXPECT_EQ(editor->window()->windowTitle(), QStringLiteral("Shot.png"));

    // A text being typed is kept when the window closes.
    QPlainTextEdit *edit = startText(windowOf(editor));
    ASSERT_TRUE(edit);
    QTest::keyClicks(edit, QStringLiteral("Hi"));
    EXPECT_TRUE(editor->window()->close());
    EXPECT_FALSE(EditorWindowController::openEditors().contains(editor));
    EXPECT_FALSE(editor->model().editingTextID());
    EXPECT_EQ(editor->model().annotations().constLast().text, QStringLiteral("Hi"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }));
    EXPECT_EQ(EditorWindowController::open(QImage(), CaptureKind::screenshot, std::nullopt,
                                           std::nullopt, *settings.settings, {}),
              nullptr);
}

TEST_F(EditorWindowTest, EveryControlIsNamedReachableByTabAndTheKeysAreTheWindows)
{
    EditorWindow *window = windowOf(open());
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        SCOPED_TRACE(button->metaObject()->className());
        EXPECT_FALSE(button->accessibleName().isEmpty());
        EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
    }
    QList<QKeySequence> keys;
    for (QAction *action : window->actions()) {
        EXPECT_EQ(action->shortcutContext(), Qt::WindowShortcut);
        keys += action->shortcuts();
    }
    for (const char *key : {"Ctrl+S", "Ctrl+Shift+S", "Ctrl+C", "Ctrl+Z", "Ctrl+Shift+Z", "Ctrl+Y"})
        EXPECT_EQ(keys.count(QKeySequence(QString::fromLatin1(key))), 1) << key;

    // A slider or swatch used with the pointer leaves the keys to the canvas.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    addAnnotation(window->model());
    window->focusCanvas();
    QSlider *thickness = window->inspector()->slider(QStringLiteral("Thickness"))->slider();
    for (QWidget *control : {static_cast<QWidget *>(thickness),
                             static_cast<QWidget *>(window->inspector()->swatches().at(2))}) {
        SCOPED_TRACE(control->metaObject()->className());
        ASSERT_TRUE(window->canvas()->hasFocus());
        QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
        EXPECT_TRUE(window->canvas()->hasFocus());
        window->focusCanvas();
    }
    const QPointF start = window->model().annotations().constFirst().start;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(window->model().annotations().constFirst().start, start + QPointF(1, 0));
}

TEST_F(EditorWindowTest, TheTitleBarKeepsItsPlacesAtEveryWidth)
{
    EditorWindow *window = windowOf(open());
    EditorTitleBar *bar = window->titleBar();
    for (int width : {1000, 1333, 1900}) {
        SCOPED_TRACE(width);
        window->resize(width, 700);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->geometry(), QRect(0, 0, width, 52));
        const QRect switcher = bar->switcher()->geometry();
        EXPECT_EQ(switcher.size(), QSize(3 * 96, 28));
        EXPECT_LE(std::abs(switcher.left() + switcher.right() + 1 - width), 1);
        EXPECT_EQ(switcher.top() + switcher.height() / 2, 26);
        const QRect exportButton = bar->exportButton()->geometry();
        EXPECT_EQ(exportButton.size(), QSize(96, 30));
        EXPECT_EQ(width - (exportButton.right() + 1), 16);
        EXPECT_EQ(exportButton.top() + exportButton.height() / 2, 26);
        // Nothing on the right runs into the switcher.
        EXPECT_GT(bar->extractTextButton()->geometry().left(), switcher.right());
    }
}

TEST_F(EditorWindowTest, TheInspectorShowsTheSlidersOfTheToolAndTheSizeTheExportWillHave)
{
    EditorWindowController *editor = open({301, 200});
    EditorWindow *window = windowOf(editor);
    Inspector *inspector = window->inspector();
    EditorModel &model = editor->model();
    struct Case {
        AnnotationTool tool;
        QStringList shown;
    } cases[] = {
        {AnnotationTool::arrow, {"Thickness"}},
        {AnnotationTool::text, {"Thickness", "Text size"}},
        {AnnotationTool::number, {"Thickness", "Text size"}},
        {AnnotationTool::blur, {"Thickness", "Blur radius"}},
        {AnnotationTool::pixelate, {"Thickness", "Pixel size"}},
    };
    for (const Case &c : cases) {
        window->chooseTool(c.tool);
        for (const char *label : {"Thickness", "Text size", "Blur radius", "Pixel size"})
            EXPECT_EQ(!inspector->slider(label)->isHidden(), c.shown.contains(label))
                << label << " for " << annotationTool::title(c.tool).toStdString();
    }
    model.tools().setLineWidth(2.5); // halves round up
    EXPECT_EQ(inspector->slider("Thickness")->valueText(), QStringLiteral("3 px"));

    // The output row and the copied picture agree, backdrop padding included.
    QImage copied;
    for (double padding : {0.0, 0.07, 0.2}) {
        window->select(EditorMode::beautify);
        Backdrop backdrop = model.backdrop();
        backdrop.padding = padding;
        model.setBackdrop(backdrop);
        const QImage flattened = model.flattenedImage();
        EXPECT_EQ(inspector->outputSizeText(),
                  QStringLiteral("%1 × %2").arg(flattened.width()).arg(flattened.height()));
    }
    editor->copy();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(toasts.constLast(), QStringLiteral("Copied to Clipboard"));
}

TEST_F(EditorWindowTest, SaveAsCountsOnlyAWrittenFile)
{
    std::function<void(std::optional<QString>)> pending;
    QString suggested;
    EditorActions actions;
    actions.toast = [this](const QString &message, const QString &, double) {
        toasts.append(message);
    };
    actions.saveWithPanel = [&](const QImage &, const QString &name,
                                std::function<void(std::optional<QString>)> done) {
        suggested = name;
        pending = std::move(done);
    };
    std::unique_ptr<EditorWindowController> editor(EditorWindowController::open(
        solidImage({80, 60}), CaptureKind::screenshot, QStringLiteral("Shot.png"), std::nullopt,
        *settings.settings, actions));
    editor->saveAs();
    EXPECT_EQ(suggested, QStringLiteral("Shot.png"));
    pending(std::nullopt); // cancelled, or the write failed
    EXPECT_EQ(editor->model().saveCount(), 0);
    EXPECT_TRUE(toasts.isEmpty());

    editor->saveAs();
    pending(QStringLiteral("/elsewhere/Picked.jpg"));
    EXPECT_EQ(editor->model().saveCount(), 1);
    EXPECT_EQ(editor->model().lastSavedURL()->toLocalFile(),
              QStringLiteral("/elsewhere/Picked.jpg"));
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Saved Picked.jpg")});
}
