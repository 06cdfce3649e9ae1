#include "editor/canvas/CanvasGestures.h"

#include "editor/EditorModel.h"

#include <algorithm>

namespace zorv
{

namespace
{
// Tolerances in view points, whatever the zoom.
constexpr double handleHalfSide = 8;
constexpr double hitSlack = 6;
constexpr double minimumCropSide = 4;

bool isStroke(AnnotationTool tool)
{
    return tool == AnnotationTool::freehand || tool == AnnotationTool::highlighter;
}
} // namespace

CanvasGestures::CanvasGestures(EditorModel &model) : m_model(model) {}

std::optional<Annotation> CanvasGestures::find(const QUuid &id) const
{
    for (const Annotation &a : m_model.annotations()) {
        if (a.id == id)
            return a;
    }
    return std::nullopt;
}

void CanvasGestures::invalidate(std::optional<QRectF> area)
{
    if (onInvalidate)
        onInvalidate(area);
}

void CanvasGestures::invalidate(const Annotation &a)
{
    invalidate(canvasGeometry::paintBounds(a, QSizeF(m_model.image().size())));
}

void CanvasGestures::replace(const Annotation &before, const Annotation &after)
{
    if (before == after)
        return;
    m_repaintsLocally = true;
    m_model.replaceAnnotation(after);
    m_model.bump();
    m_repaintsLocally = false;
    invalidate(before);
    invalidate(after);
}

Annotation CanvasGestures::newAnnotation(AnnotationTool tool, QPointF p) const
{
    const ToolSettings &tools = m_model.tools();
    Annotation a;
    a.id = QUuid::createUuid();
    a.tool = tool;
    a.start = p;
    a.end = p;
    if (isStroke(tool))
        a.points = {p};
    a.colorHex = tools.colorHex();
    a.lineWidth = tools.lineWidth();
    a.fontSize = tools.fontSize();
    a.number = 1;
    const bool placed = tool == AnnotationTool::text || tool == AnnotationTool::number;
    a.blurRadius = placed ? 14 : tools.blurRadius();
    a.pixelScale = placed ? 18 : tools.pixelScale();
    return a;
}

void CanvasGestures::press(const Press &press)
{
    if (m_editingID)
        commitTextEditing();
    endDrag();
    const QSize size = m_model.image().size();
    const QPointF p(std::clamp(press.point.x(), 0.0, double(size.width())),
                    std::clamp(press.point.y(), 0.0, double(size.height())));
    const AnnotationTool tool = m_model.tools().tool();

    if (tool == AnnotationTool::select) {
        beginSelection(press);
        return;
    }
    if (!press.insideImage) {
        m_model.setSelectedID(std::nullopt);
        m_model.bump();
        return;
    }
    switch (tool) {
    case AnnotationTool::text: {
        const Annotation a = newAnnotation(tool, p);
        // Until the edit ends: a text left empty then leaves no step behind.
        m_model.beginGesture();
        m_textGestureOpen = true;
        m_model.add(a);
        beginTextEditing(a.id);
        return;
    }
    case AnnotationTool::number: {
        Annotation a = newAnnotation(tool, p);
        a.number = m_model.nextNumber();
        m_model.pushUndo();
        m_model.add(a);
        if (m_model.autoIncrementNumbers())
            m_model.setNextNumber(m_model.nextNumber() + 1);
        return;
    }
    case AnnotationTool::crop:
        m_cropStart = p;
        m_drag = Drag::crop;
        m_model.setCropRect(QRectF(p, QSizeF(0, 0)));
        m_model.bump();
        return;
    default:
        m_draft = newAnnotation(tool, p);
        m_drag = Drag::creating;
        invalidate(*m_draft);
        return;
    }
}

void CanvasGestures::beginSelection(const Press &press)
{
    const double scale = std::max(press.imageScale, 0.0001);
    if (const std::optional<Annotation> selected = m_model.selectedAnnotation()) {
        const double reach = handleHalfSide / scale;
        for (const canvasGeometry::HandlePoint &h : canvasGeometry::handlePoints(*selected)) {
            const QPointF d = press.point - h.point;
            if (std::abs(d.x()) <= reach && std::abs(d.y()) <= reach) {
                m_drag = Drag::resizing;
                m_dragID = selected->id;
                m_handle = h.handle;
                m_model.beginGesture();
                m_dragGestureOpen = true;
                return;
            }
        }
    }
    if (!press.insideImage) {
        m_model.setSelectedID(std::nullopt);
        m_model.bump();
        return;
    }
    const QSize size = m_model.image().size();
    const QPointF p(std::clamp(press.point.x(), 0.0, double(size.width())),
                    std::clamp(press.point.y(), 0.0, double(size.height())));
    const QList<Annotation> &all = m_model.annotations();
    const auto hit = std::find_if(all.rbegin(), all.rend(), [&](const Annotation &a) {
        return canvasGeometry::hits(a, p, hitSlack / scale, QSizeF(size));
    });
    if (hit == all.rend()) {
        m_model.setSelectedID(std::nullopt);
        m_model.bump();
        return;
    }
    const QUuid id = hit->id;
    const bool editText = press.clickCount == 2 && hit->tool == AnnotationTool::text;
    m_model.setSelectedID(id);
    m_model.bump();
    if (editText) {
        beginTextEditing(id);
        return;
    }
    m_drag = Drag::moving;
    m_dragID = id;
    m_last = p;
    m_model.beginGesture();
    m_dragGestureOpen = true;
}

void CanvasGestures::drag(QPointF p)
{
    switch (m_drag) {
    case Drag::none:
        return;
    case Drag::creating: {
        const Annotation before = *m_draft;
        if (isStroke(m_draft->tool)) {
            // A pointer that reports without moving adds nothing to the stroke.
            if (m_draft->points.constLast() == p)
                return;
            m_draft->points.append(p);
        } else
            m_draft->end = p;
        invalidate(before);
        invalidate(*m_draft);
        return;
    }
    case Drag::moving: {
        reopenGesture();
        const std::optional<Annotation> a = find(m_dragID);
        if (!a)
            return;
        Annotation moved = *a;
        moved.translate(p - m_last);
        m_last = p;
        replace(*a, moved);
        return;
    }
    case Drag::resizing: {
        reopenGesture();
        const std::optional<Annotation> a = find(m_dragID);
        if (!a || !m_handle)
            return;
        replace(*a, canvasGeometry::resized(*a, *m_handle, p));
        return;
    }
    case Drag::crop:
        m_model.setCropRect(QRectF(m_cropStart, p).normalized());
        m_model.bump();
        return;
    }
}

void CanvasGestures::reopenGesture()
{
    // An undo in the middle of a drag closes the gesture; what follows is
    // still one step of its own.
    if (m_dragGestureOpen && !m_model.history().inGesture())
        m_model.beginGesture();
}

void CanvasGestures::finishDraft()
{
    Annotation draft = *m_draft;
    m_draft.reset();
    invalidate(draft);
    if (!canvasGeometry::keepsDraft(draft))
        return;
    // The colour and width at the end of the drag, in case they changed during it.
    draft.colorHex = m_model.tools().colorHex();
    draft.lineWidth = m_model.tools().lineWidth();
    m_model.pushUndo();
    m_model.add(draft);
}

void CanvasGestures::release()
{
    if (m_drag == Drag::crop) {
        const std::optional<QRectF> crop = m_model.cropRect();
        if (crop && (crop->width() < minimumCropSide || crop->height() < minimumCropSide)) {
            m_model.setCropRect(std::nullopt);
            // The chrome of the abandoned area must go from the screen too.
            m_model.bump();
        }
    } else if (m_drag == Drag::creating && m_draft) {
        finishDraft();
    }
    endDrag();
}

void CanvasGestures::endDrag()
{
    if (m_dragGestureOpen) {
        m_dragGestureOpen = false;
        m_model.endGesture();
    }
    if (m_draft) {
        invalidate(*m_draft);
        m_draft.reset();
    }
    m_drag = Drag::none;
    m_handle.reset();
}

bool CanvasGestures::keyPress(Key key, bool shift, const QString &text)
{
    const double step = shift ? 10 : 1;
    QPointF nudge;
    switch (key) {
    case Key::enter:
        if (!m_model.cropRect())
            return false;
        m_model.applyCrop();
        return true;
    case Key::remove: {
        const std::optional<QUuid> id = m_model.selectedID();
        if (!id || !find(*id))
            return false;
        m_model.pushUndo();
        m_model.remove(*id);
        return true;
    }
    case Key::escape:
        if (m_model.cropRect()) {
            m_model.cancelCrop();
            return true;
        }
        if (!m_model.selectedID())
            return false;
        m_model.setSelectedID(std::nullopt);
        m_model.bump();
        return true;
    case Key::left:
        nudge = {-step, 0};
        break;
    case Key::right:
        nudge = {step, 0};
        break;
    case Key::up:
        nudge = {0, -step};
        break;
    case Key::down:
        nudge = {0, step};
        break;
    case Key::other: {
        const QString letter = text.toUpper();
        if (letter.isEmpty())
            return false;
        for (AnnotationTool tool : annotationTool::all()) {
            if (annotationTool::shortcut(tool) != letter)
                continue;
            if (m_model.tools().tool() != tool) {
                m_model.tools().setTool(tool);
                m_model.bump();
            }
            return true;
        }
        return false;
    }
    }
    const std::optional<Annotation> before = m_model.selectedAnnotation();
    if (!before)
        return false;
    // The model merges a run of nudges of one annotation into one step.
    m_repaintsLocally = true;
    m_model.nudgeSelected(nudge);
    m_repaintsLocally = false;
    invalidate(*before);
    if (const std::optional<Annotation> after = m_model.selectedAnnotation())
        invalidate(*after);
    return true;
}

void CanvasGestures::beginTextEditing(const QUuid &id)
{
    if (m_editingID && *m_editingID != id)
        commitTextEditing();
    if (!find(id))
        return;
    if (!m_textGestureOpen) {
        m_model.beginGesture();
        m_textGestureOpen = true;
    }
    // The model first: listeners to its changes then already see the session.
    m_model.setSelectedID(id);
    m_model.setEditingTextID(id);
    m_editingID = id;
    m_model.bump();
    if (onTextEditingBegan)
        onTextEditingBegan(id);
}

void CanvasGestures::setEditedText(const QString &text)
{
    if (!m_editingID)
        return;
    std::optional<Annotation> a = find(*m_editingID);
    if (!a || a->text == text)
        return;
    a->text = text;
    // The editor shows this text; the canvas skips it, so nothing to repaint.
    m_repaintsLocally = true;
    m_model.replaceAnnotation(*a);
    m_model.bump();
    m_repaintsLocally = false;
}

void CanvasGestures::commitTextEditing()
{
    if (!m_editingID)
        return;
    const QUuid id = *m_editingID;
    m_editingID.reset();
    m_model.setEditingTextID(std::nullopt);
    const std::optional<Annotation> a = find(id);
    if (a && a->text.trimmed().isEmpty())
        m_model.remove(id);
    else
        m_model.bump();
    if (m_textGestureOpen) {
        m_textGestureOpen = false;
        m_model.endGesture();
    }
    if (onTextEditingEnded)
        onTextEditingEnded();
}

void CanvasGestures::abandonTextEditing()
{
    if (!m_editingID)
        return;
    m_editingID.reset();
    if (m_model.editingTextID())
        m_model.setEditingTextID(std::nullopt);
    if (m_textGestureOpen) {
        m_textGestureOpen = false;
        m_model.endGesture();
    }
    if (onTextEditingEnded)
        onTextEditingEnded();
}

} // namespace zorv
