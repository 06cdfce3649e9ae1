#pragma once

#include "editor/Annotation.h"
#include "editor/canvas/CanvasGeometry.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace zorv
{

class EditorModel;

// Turns pointer and key input, given in image pixels, into changes of the
// editor model: creating, selecting, moving, resizing, cropping, nudging,
// numbering and the text-edit session. Knows nothing of widgets, so the view
// only converts coordinates and draws. Each gesture is at most one undo step,
// and one that changes nothing records none.
class CanvasGestures
{
  public:
    enum class Drag { none, creating, moving, resizing, crop };

    struct Press {
        // Unclamped: handle grips reach past the image's edge.
        QPointF point;
        bool insideImage = true;
        // View points per image pixel, for tolerances given in view points.
        double imageScale = 1;
        int clickCount = 1;
    };

    // Keys the canvas answers, independent of the toolkit's key codes.
    enum class Key { enter, remove, escape, left, right, up, down, other };

    explicit CanvasGestures(EditorModel &model);

    // Image area whose drawing changed; nullopt: everything (chrome over the view).
    std::function<void(std::optional<QRectF>)> onInvalidate;
    // A text annotation is to be edited in place from now on.
    std::function<void(const QUuid &)> onTextEditingBegan;
    // The edit ended (committed or dropped); the editor goes away.
    std::function<void()> onTextEditingEnded;

    void press(const Press &press);
    // p is clamped to the image by the caller.
    void drag(QPointF p);
    void release();
    // True when the key did something; text is the key's characters.
    bool keyPress(Key key, bool shift, const QString &text);

    Drag dragState() const { return m_drag; }
    const std::optional<Annotation> &draft() const { return m_draft; }
    std::optional<Handle> resizeHandle() const { return m_handle; }
    // True while a change of ours bumps the model and repaints only its area.
    bool repaintsLocally() const { return m_repaintsLocally; }

    bool isEditingText() const { return m_editingID.has_value(); }
    void beginTextEditing(const QUuid &id);
    // The text as typed so far.
    void setEditedText(const QString &text);
    // Keeps the text, or removes the annotation when only white space is left.
    void commitTextEditing();
    // The model moved on without us (undo, a crop): drop the session as it is.
    void abandonTextEditing();

  private:
    void beginSelection(const Press &press);
    std::optional<Annotation> find(const QUuid &id) const;
    Annotation newAnnotation(AnnotationTool tool, QPointF p) const;
    // Writes a changed annotation back and repaints where it was and is.
    void replace(const Annotation &before, const Annotation &after);
    void invalidate(std::optional<QRectF> area);
    void invalidate(const Annotation &a);
    void reopenGesture();
    void finishDraft();
    void endDrag();

    EditorModel &m_model;
    Drag m_drag = Drag::none;
    std::optional<Annotation> m_draft;
    QUuid m_dragID;
    QPointF m_last;
    QPointF m_cropStart;
    std::optional<Handle> m_handle;
    bool m_dragGestureOpen = false;
    bool m_textGestureOpen = false;
    bool m_repaintsLocally = false;
    std::optional<QUuid> m_editingID;
};

} // namespace zorv
