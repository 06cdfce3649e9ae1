#include "editor/ui/EditorWindow.h"

#include "common/PlatformTexts.h"
#include "editor/EditorModel.h"
#include "editor/canvas/EditorCanvasView.h"
#include "editor/ui/EditorButton.h"
#include "editor/ui/EditorStyle.h"
#include "editor/ui/EditorTitleBar.h"
#include "editor/ui/Inspector.h"
#include "editor/ui/ModeSwitcher.h"
#include "editor/ui/SaveButton.h"
#include "editor/ui/ToolRail.h"
#include "settings/AppSettings.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QVBoxLayout>

namespace zorv
{

EditorWindow::EditorWindow(EditorModel &model, AppSettings &settings, Availability availability,
                           QWidget *parent)
    : QWidget(parent), m_model(model), m_settings(settings), m_shownTool(model.tools().tool()),
      m_shownSaveCount(model.saveCount()), m_exportMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("ZorvEditor"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    editorStyle::apply(this);
    setMinimumSize(1000, 640);

    buildExportMenu(availability);
    m_titleBar = new EditorTitleBar(m_exportMenu, this);
    m_rail = new ToolRail(this);
    m_canvasArea = new QWidget(this);
    m_inspector = new Inspector(model, settings, this);

    auto *canvasLayout = new QVBoxLayout(m_canvasArea);
    canvasLayout->setContentsMargins(0, 0, 0, 0);
    m_canvas = new EditorCanvasView(model, m_canvasArea);
    canvasLayout->addWidget(m_canvas);

    auto *body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(m_rail);
    body->addWidget(m_canvasArea, 1);
    body->addWidget(m_inspector);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_titleBar);
    layout->addLayout(body, 1);

    EditorButton *extract = m_titleBar->extractTextButton();
    extract->setEnabled(availability.extractText);
    if (!availability.extractText)
        extract->setToolTip(QStringLiteral("Extract Text: ") + unavailableTextRecognition());
    connect(extract, &EditorButton::clicked, this, &EditorWindow::extractTextRequested);
    connect(m_titleBar->pinButton(), &EditorButton::clicked, this, &EditorWindow::pinRequested);
    connect(m_titleBar->copyButton(), &EditorButton::clicked, this, &EditorWindow::copyRequested);
    connect(m_titleBar->saveButton(), &EditorButton::clicked, this, &EditorWindow::saveRequested);
    connect(m_titleBar->switcher(), &ModeSwitcher::modeChosen, this, &EditorWindow::select);

    connect(m_rail, &ToolRail::toolChosen, this, &EditorWindow::chooseTool);
    // A text being typed ends first: its step then holds the whole text, and
    // an undo never leaves an empty one behind.
    connect(m_rail, &ToolRail::undoRequested, this, &EditorWindow::undo);
    connect(m_rail, &ToolRail::redoRequested, this, &EditorWindow::redo);
    connect(m_rail, &ToolRail::clearAllRequested, this, [this] {
        commitTextEditing();
        m_model.clearAll();
    });
    connect(m_inspector, &Inspector::backdropChosen, this, &EditorWindow::chooseBackdrop);

    addShortcutAction({QKeySequence(Qt::CTRL | Qt::Key_S)}, &EditorWindow::saveRequested);
    addAction(m_saveAs);
    addShortcutAction({QKeySequence(Qt::CTRL | Qt::Key_C)}, &EditorWindow::copyRequested);
    auto *undoAction = new QAction(QStringLiteral("Undo"), this);
    undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undoAction->setShortcutContext(Qt::WindowShortcut);
    connect(undoAction, &QAction::triggered, this, &EditorWindow::undo);
    auto *redoAction = new QAction(QStringLiteral("Redo"), this);
    redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redoAction->setShortcutContext(Qt::WindowShortcut);
    connect(redoAction, &QAction::triggered, this, &EditorWindow::redo);
    addActions({undoAction, redoAction});

    connect(&m_model, &EditorModel::changed, this, &EditorWindow::refresh);
    connect(&m_model.history(), &UndoHistory::availabilityChanged, this, &EditorWindow::refresh);
    connect(&m_model.tools(), &ToolSettings::changed, this, [this] {
        // A tool chosen any way (a letter on the canvas too) is for drawing or
        // cropping: beautifying ends.
        if (m_model.tools().tool() != m_shownTool) {
            // Leaving crop by a letter drops the pending area, as the rail
            // does: a later Return must not crop what is no longer shown.
            if (m_shownTool == AnnotationTool::crop && m_model.cropRect())
                m_model.cancelCrop();
            m_shownTool = m_model.tools().tool();
            m_beautifying = false;
        }
        refresh();
    });
    connect(&m_settings, &AppSettings::changed, m_inspector, &Inspector::refresh);
    refresh();
}

EditorWindow::~EditorWindow()
{
    // The children go after this body; nothing may call refresh() on them then.
    disconnect(&m_model, nullptr, this, nullptr);
    disconnect(&m_model.history(), nullptr, this, nullptr);
    disconnect(&m_model.tools(), nullptr, this, nullptr);
    disconnect(&m_settings, nullptr, this, nullptr);
    disconnect(&m_settings, nullptr, m_inspector, nullptr);
}

QString EditorWindow::unavailableTextRecognition()
{
    return QStringLiteral("Text recognition arrives with the quick-access update.");
}

QString EditorWindow::unavailableUpload()
{
    return QStringLiteral("Uploading arrives with the quick-access update.");
}

QAction *EditorWindow::addShortcutAction(const QList<QKeySequence> &keys,
                                         void (EditorWindow::*signal)())
{
    auto *action = new QAction(this);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, signal);
    addAction(action);
    return action;
}

void EditorWindow::buildExportMenu(Availability availability)
{
    m_exportMenu->setToolTipsVisible(true);
    // One action for the menu item and the window's key, so the key is not
    // claimed twice.
    m_saveAs = m_exportMenu->addAction(QStringLiteral("Save As…"));
    m_saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_saveAs->setShortcutContext(Qt::WindowShortcut);
    connect(m_saveAs, &QAction::triggered, this, &EditorWindow::saveAsRequested);
    QAction *copy = m_exportMenu->addAction(QStringLiteral("Copy to Clipboard"));
    connect(copy, &QAction::triggered, this, &EditorWindow::copyRequested);
    m_upload = m_exportMenu->addAction(QStringLiteral("Upload && Copy Link"));
    m_upload->setEnabled(availability.upload);
    if (!availability.upload)
        m_upload->setToolTip(unavailableUpload());
    connect(m_upload, &QAction::triggered, this, &EditorWindow::uploadRequested);
    m_exportMenu->addSeparator();
    m_reveal = m_exportMenu->addAction(QString());
    connect(m_reveal, &QAction::triggered, this, &EditorWindow::revealRequested);
}

EditorMode EditorWindow::mode() const
{
    if (m_model.tools().tool() == AnnotationTool::crop)
        return EditorMode::crop;
    return m_beautifying ? EditorMode::beautify : EditorMode::annotate;
}

void EditorWindow::select(EditorMode mode)
{
    commitTextEditing();
    ToolSettings &tools = m_model.tools();
    const auto leaveCrop = [&] {
        if (tools.tool() == AnnotationTool::crop) {
            m_model.cancelCrop();
            tools.setTool(AnnotationTool::arrow);
        }
    };
    switch (mode) {
    case EditorMode::annotate:
        m_beautifying = false;
        leaveCrop();
        break;
    case EditorMode::crop:
        m_beautifying = false;
        tools.setTool(AnnotationTool::crop);
        break;
    case EditorMode::beautify:
        leaveCrop();
        m_beautifying = true; // after the tool change, which ends beautifying
        if (!m_model.backdrop().isOn) {
            Backdrop backdrop = m_model.backdrop();
            backdrop.isOn = true;
            m_model.setBackdrop(backdrop);
        }
        break;
    }
    refresh();
}

void EditorWindow::chooseTool(AnnotationTool tool)
{
    if (tool == AnnotationTool::crop) {
        select(EditorMode::crop);
        return;
    }
    select(EditorMode::annotate);
    m_model.tools().setTool(tool);
}

void EditorWindow::chooseBackdrop(int presetIndex)
{
    Backdrop backdrop = m_model.backdrop();
    backdrop.isOn = presetIndex >= 0;
    if (presetIndex >= 0)
        backdrop.presetIndex = presetIndex;
    m_model.setBackdrop(backdrop);
}

void EditorWindow::commitTextEditing()
{
    m_canvas->commitTextEditing();
}

void EditorWindow::undo()
{
    commitTextEditing();
    m_model.undo();
}

void EditorWindow::redo()
{
    commitTextEditing();
    m_model.redo();
}

void EditorWindow::focusCanvas()
{
    m_canvas->setFocus(Qt::OtherFocusReason);
}

EditorCanvasView *EditorWindow::canvas() const
{
    return m_canvas;
}

void EditorWindow::refresh()
{
    setWindowTitle(m_model.fileName());
    m_titleBar->setDocument(m_model.fileName(), m_model.image().size());
    const EditorMode current = mode();
    m_titleBar->switcher()->setMode(current);
    m_rail->showState(current, m_model.tools().tool());
    const UndoHistory &history = m_model.history();
    m_rail->showHistory(history.canUndo(), history.canRedo(), !m_model.annotations().isEmpty());
    m_inspector->setMode(current);
    m_reveal->setText(m_model.lastSavedURL() ? PlatformTexts::showInFileManager()
                                             : QStringLiteral("Open Save Folder"));
    if (m_model.saveCount() != m_shownSaveCount) {
        m_shownSaveCount = m_model.saveCount();
        m_titleBar->saveButton()->confirm();
    }
}

void EditorWindow::closeEvent(QCloseEvent *event)
{
    // Never asks to save: the capture itself stays in the history. A text
    // being typed is kept, as a save right after would keep it.
    commitTextEditing();
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT closed();
}

} // namespace zorv
