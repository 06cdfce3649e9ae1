#pragma once

#include "editor/AnnotationTool.h"
#include "editor/ui/EditorMode.h"

#include <QWidget>

class QAction;
class QMenu;

namespace zorv
{

class AppSettings;
class EditorCanvasView;
class EditorModel;
class EditorTitleBar;
class Inspector;
class ToolRail;

// The editor's window: title bar, tool rail, canvas and inspector around one
// model. The mode is derived (crop while the tool is crop, else beautify while
// beautifying, else annotate). Commands that leave the window are signals.
class EditorWindow : public QWidget
{
    Q_OBJECT
  public:
    // Which commands have something behind them; the others show why not.
    struct Availability {
        bool extractText = false;
        bool upload = false;
    };

    EditorWindow(EditorModel &model, AppSettings &settings, Availability availability,
                 QWidget *parent = nullptr);
    ~EditorWindow() override;

    EditorModel &model() const { return m_model; }
    EditorMode mode() const;
    // Switches mode by the editor's rules: beautify turns the backdrop on,
    // leaving it keeps the backdrop, crop cancels nothing until left.
    void select(EditorMode mode);
    // A rail button: annotate with `tool`, or crop.
    void chooseTool(AnnotationTool tool);
    // "None" (-1) turns the backdrop off; a preset turns it on with that preset.
    void chooseBackdrop(int presetIndex);
    // Ends a text being typed, so a command sees it as it will export.
    void commitTextEditing();
    // Undo and redo, after ending a text being typed.
    void undo();
    void redo();
    void focusCanvas();

    EditorCanvasView *canvas() const;
    EditorTitleBar *titleBar() const { return m_titleBar; }
    ToolRail *toolRail() const { return m_rail; }
    Inspector *inspector() const { return m_inspector; }
    QMenu *exportMenu() const { return m_exportMenu; }
    QAction *revealAction() const { return m_reveal; }
    QAction *uploadAction() const { return m_upload; }

    static QString unavailableTextRecognition();
    static QString unavailableUpload();

  Q_SIGNALS:
    void saveRequested();
    void saveAsRequested();
    void copyRequested();
    void pinRequested();
    void revealRequested();
    void extractTextRequested();
    void uploadRequested();
    void closed();

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    QAction *addShortcutAction(const QList<QKeySequence> &keys, void (EditorWindow::*signal)());
    void buildExportMenu(Availability availability);
    void refresh();

    EditorModel &m_model;
    AppSettings &m_settings;
    bool m_beautifying = false;
    AnnotationTool m_shownTool;
    int m_shownSaveCount = 0;
    QMenu *m_exportMenu;
    QAction *m_saveAs = nullptr;
    QAction *m_reveal = nullptr;
    QAction *m_upload = nullptr;
    EditorTitleBar *m_titleBar;
    ToolRail *m_rail;
    QWidget *m_canvasArea;
    EditorCanvasView *m_canvas = nullptr; // a child: lives as long as the window
    Inspector *m_inspector;
};

} // namespace zorv
