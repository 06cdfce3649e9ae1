#include "editor/EditorModel.h"

#include "editor/AnnotationRenderer.h"
#include "output/Naming.h"
#include "settings/AppSettings.h"

#include <QColorSpace>
#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zorv
{

namespace
{
// The only reads of the settings: a change in how they are read stays here.
QString defaultFileName(const AppSettings &settings)
{
    return Naming::fileName(settings.nameTemplate(), QDateTime::currentDateTime(),
                            imageFormat::fileExtension(settings.imageFormat()));
}

ToolSettings::Configured configuredTools(const AppSettings &settings)
{
    return {settings.annotationColorHex(), settings.annotationLineWidth(),
            settings.annotationFontSize(), settings.blurRadius(), settings.pixelateScale()};
}
} // namespace

EditorModel::EditorModel(QImage image, CaptureKind kind, std::optional<QString> fileName,
                         const AppSettings &settings, QObject *parent)
    : QObject(parent), m_image(std::move(image)), m_kind(kind),
      m_tools(configuredTools(settings), ToolSettings::toolScale(m_image)),
      m_fileName(fileName ? *fileName : defaultFileName(settings)),
      m_autoIncrementNumbers(settings.autoIncrementNumbers())
{
}

template <typename T> void EditorModel::assign(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    m_changed = true;
}

void EditorModel::reportChange()
{
    if (!m_changed)
        return;
    m_changed = false;
    Q_EMIT changed();
}

void EditorModel::setFileName(const QString &value)
{
    assign(m_fileName, value);
    reportChange();
}

void EditorModel::setAnnotations(const QList<Annotation> &value)
{
    assign(m_annotations, value);
    reportChange();
}

bool EditorModel::replaceAnnotation(const Annotation &annotation)
{
    for (Annotation &existing : m_annotations) {
        if (existing.id == annotation.id) {
            assign(existing, annotation);
            reportChange();
            return true;
        }
    }
    return false;
}

void EditorModel::setSelectedID(std::optional<QUuid> value)
{
    assign(m_selectedID, value);
    reportChange();
}

std::optional<Annotation> EditorModel::selectedAnnotation() const
{
    if (!m_selectedID)
        return std::nullopt;
    for (const Annotation &annotation : m_annotations) {
        if (annotation.id == *m_selectedID)
            return annotation;
    }
    return std::nullopt;
}

void EditorModel::setEditingTextID(std::optional<QUuid> value)
{
    assign(m_editingTextID, value);
    reportChange();
}

void EditorModel::setCropRect(std::optional<QRectF> value)
{
    assign(m_cropRect, value);
    reportChange();
}

void EditorModel::setNextNumber(qint64 value)
{
    assign(m_nextNumber, value);
    reportChange();
}

void EditorModel::setSaveCount(int value)
{
    assign(m_saveCount, value);
    reportChange();
}

void EditorModel::setLastSavedURL(std::optional<QUrl> value)
{
    assign(m_lastSavedURL, value);
    reportChange();
}

void EditorModel::setBackdrop(const Backdrop &value)
{
    if (m_backdrop == value)
        return;
    m_backdrop = value;
    m_changed = true;
    reportChange();
    bump();
}

void EditorModel::setImage(const QImage &value)
{
    // Identity, not pixels: an undo back to the same object is no change.
    if (m_image.cacheKey() == value.cacheKey())
        return;
    m_image = value;
    m_changed = true;
}

void EditorModel::bump()
{
    ++m_revision;
    if (onNeedsDisplay)
        onNeedsDisplay();
}

EditorModel::Snapshot EditorModel::snapshot() const
{
    return {m_image, m_annotations, m_nextNumber};
}

void EditorModel::pushUndo(const QString &mergeKey)
{
    m_history.record(snapshot(), mergeKey);
}

void EditorModel::beginGesture()
{
    m_history.beginGesture(snapshot());
}

void EditorModel::endGesture()
{
    m_history.endGesture(snapshot());
}

void EditorModel::apply(const Snapshot &snapshot)
{
    setImage(snapshot.image);
    assign(m_annotations, snapshot.annotations);
    assign(m_nextNumber, snapshot.nextNumber);
    assign(m_selectedID, std::optional<QUuid>());
    assign(m_editingTextID, std::optional<QUuid>());
    assign(m_cropRect, std::optional<QRectF>());
    reportChange();
    bump();
}

void EditorModel::undo()
{
    if (const std::optional<Snapshot> previous = m_history.undo(snapshot()))
        apply(*previous);
}

void EditorModel::redo()
{
    if (const std::optional<Snapshot> next = m_history.redo(snapshot()))
        apply(*next);
}

void EditorModel::add(const Annotation &annotation)
{
    m_annotations.append(annotation);
    m_changed = true;
    assign(m_selectedID, std::optional(annotation.id));
    reportChange();
    bump();
}

void EditorModel::remove(const QUuid &id)
{
    if (m_annotations.removeIf([&id](const Annotation &a) { return a.id == id; }) > 0)
        m_changed = true;
    if (m_selectedID == id)
        assign(m_selectedID, std::optional<QUuid>());
    if (m_editingTextID == id)
        assign(m_editingTextID, std::optional<QUuid>());
    reportChange();
    bump();
}

void EditorModel::clearAll()
{
    if (m_annotations.isEmpty())
        return;
    pushUndo();
    assign(m_annotations, QList<Annotation>());
    assign(m_selectedID, std::optional<QUuid>());
    reportChange();
    bump();
}

void EditorModel::nudgeSelected(QPointF delta)
{
    std::optional<Annotation> moved = selectedAnnotation();
    if (!moved)
        return;
    // Keyed by the annotation, so nudging another one starts a new step.
    pushUndo(QStringLiteral("nudge ") + moved->id.toString());
    moved->translate(delta);
    replaceAnnotation(*moved);
    bump();
}

void EditorModel::applyCrop()
{
    if (!m_cropRect)
        return;
    // toAlignedRect() is the smallest whole-pixel rectangle containing the area.
    const QRect r = m_cropRect->normalized().toAlignedRect().intersected(m_image.rect());
    QImage cropped;
    if (r.width() >= 4 && r.height() >= 4)
        cropped = m_image.copy(r);
    if (cropped.isNull()) {
        cancelCrop();
        return;
    }

    pushUndo();
    const QRectF area(QPointF(0, 0), QSizeF(cropped.size()));
    QList<Annotation> kept;
    for (Annotation annotation : std::as_const(m_annotations)) {
        annotation.translate(-QPointF(r.topLeft()));
        if (geometry::overlaps(annotation.bounds(), area))
            kept.append(annotation);
    }
    setImage(cropped);
    assign(m_annotations, kept);
    assign(m_cropRect, std::optional<QRectF>());
    assign(m_selectedID, std::optional<QUuid>());
    reportChange();
    bump();
}

void EditorModel::cancelCrop()
{
    setCropRect(std::nullopt);
    bump();
}

QImage EditorModel::flattenedImage() const
{
    const int w = m_image.width();
    const int h = m_image.height();
    if (w == 0 || h == 0)
        return {};
    const QRectF imageArea(0, 0, w, h);
    const double longSide = std::max(w, h);
    // A negative padding or radius from a stored or typed-in value would cut the
    // picture instead of framing it.
    const int pad =
        m_backdrop.isOn ? int(std::trunc(longSide * std::max(m_backdrop.padding, 0.0))) : 0;

    QImage result(QSize(w + 2 * pad, h + 2 * pad), QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    result.setColorSpace(QColorSpace::SRgb);
    result.fill(Qt::transparent);

    QPainter painter(&result);
    if (m_backdrop.isOn) {
        const double radius = longSide * std::max(m_backdrop.cornerRadius, 0.0);
        const QRectF imageRect(pad, pad, w, h);
        m_backdrop.drawBackground(painter, QRectF(result.rect()), imageRect, radius);
        // An antialiased clip, so the rounded corners come out smooth.
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(imageRect, radius, radius);
        painter.setClipPath(shape);
        painter.translate(pad, pad);
    }
    painter.drawImage(imageArea, m_image);
    AnnotationRenderer::render(painter, m_annotations, m_image, imageArea.size(), m_effects);
    painter.end();
    return result;
}

} // namespace zorv
