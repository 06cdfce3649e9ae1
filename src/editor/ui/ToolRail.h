#pragma once

#include "editor/AnnotationTool.h"
#include "editor/ui/EditorMode.h"

#include <QHash>
#include <QWidget>

namespace zorv
{

class EditorButton;

// The column on the left: one button per drawing tool, then crop; at its foot
// the history pill with undo, redo and "Remove All Annotations".
class ToolRail : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int railWidth = 52;

    explicit ToolRail(QWidget *parent = nullptr);

    // Highlights the current tool while annotating, or crop while cropping.
    void showState(EditorMode mode, AnnotationTool tool);
    void showHistory(bool canUndo, bool canRedo, bool hasAnnotations);

    EditorButton *toolButton(AnnotationTool tool) const { return m_tools.value(tool); }
    EditorButton *undoButton() const { return m_undo; }
    EditorButton *redoButton() const { return m_redo; }
    EditorButton *clearButton() const { return m_clear; }

  Q_SIGNALS:
    void toolChosen(zorv::AnnotationTool tool);
    void undoRequested();
    void redoRequested();
    void clearAllRequested();

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QHash<AnnotationTool, EditorButton *> m_tools;
    EditorButton *m_undo;
    EditorButton *m_redo;
    EditorButton *m_clear;
    QWidget *m_pill;
};

} // namespace zorv
