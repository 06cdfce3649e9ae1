#include "editor/EditorModel.h"

#include "editor/AnnotationRenderer.h"
#include "output/Naming.h"
#include "settings/AppSettings.h"

#include <QColorSpace>
#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace zorv
{

namespace
{
QString defaultFileName(const AppSettings &settings)
{
    return Naming::fileName(settings.nameTemplate(), QDateTime::currentDateTime(),
                            imageFormat::fileExtension(settings.imageFormat()));
}
} // namespace

EditorModel::EditorModel(QImage image, CaptureKind kind, std::optional<QString> fileName,
                         AppSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_image(std::move(image)), m_kind(kind),
      m_fileName(fileName ? *fileName : defaultFileName(settings)),
      m_colorHex(settings.annotationColorHex())
{
    const double scale = toolScale(m_image);
    m_lineWidth = settings.annotationLineWidth() * scale;
    m_fontSize = settings.annotationFontSize() * scale;
    m_blurRadius = settings.blurRadius() * scale;
    m_pixelScale = settings.pixelateScale() * scale;
}

double EditorModel::toolScale(const QImage &image)
{
    return std::max(image.width() / 1600.0, 1.0);
}

template <typename T, typename Signal>
void EditorModel::assign(T &field, const T &value, Signal signal)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(this->*signal)();
}

void EditorModel::setFileName(const QString &value)
{
    assign(m_fileName, value, &EditorModel::fileNameChanged);
}

void EditorModel::setAnnotations(const QList<Annotation> &value)
{
    assign(m_annotations, value, &EditorModel::annotationsChanged);
}

bool EditorModel::replaceAnnotation(const Annotation &annotation)
{
    for (Annotation &existing : m_annotations) {
        if (existing.id == annotation.id) {
            if (!(existing == annotation)) {
                existing = annotation;
                Q_EMIT annotationsChanged();
            }
            return true;
        }
    }
    return false;
}

void EditorModel::setTool(AnnotationTool value)
{
    assign(m_tool, value, &EditorModel::toolChanged);
}

void EditorModel::setColorHex(const QString &value)
{
    assign(m_colorHex, value, &EditorModel::colorHexChanged);
}

void EditorModel::setLineWidth(double value)
{
    assign(m_lineWidth, value, &EditorModel::lineWidthChanged);
}

void EditorModel::setFontSize(double value)
{
    assign(m_fontSize, value, &EditorModel::fontSizeChanged);
}

void EditorModel::setBlurRadius(double value)
{
    assign(m_blurRadius, value, &EditorModel::blurRadiusChanged);
}

void EditorModel::setPixelScale(double value)
{
    assign(m_pixelScale, value, &EditorModel::pixelScaleChanged);
}

void EditorModel::setSelectedID(std::optional<QUuid> value)
{
    assign(m_selectedID, value, &EditorModel::selectedIDChanged);
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
    assign(m_editingTextID, value, &EditorModel::editingTextIDChanged);
}

void EditorModel::setCropRect(std::optional<QRectF> value)
{
    assign(m_cropRect, value, &EditorModel::cropRectChanged);
}

void EditorModel::setNextNumber(qint64 value)
{
    assign(m_nextNumber, value, &EditorModel::nextNumberChanged);
}

void EditorModel::setSaveCount(int value)
{
    assign(m_saveCount, value, &EditorModel::saveCountChanged);
}

void EditorModel::setLastSavedURL(std::optional<QUrl> value)
{
    assign(m_lastSavedURL, value, &EditorModel::lastSavedURLChanged);
}

void EditorModel::setBackdrop(const Backdrop &value)
{
    if (m_backdrop == value)
        return;
    m_backdrop = value;
    Q_EMIT backdropChanged();
    bump();
}

void EditorModel::setImage(const QImage &value)
{
    // Identity, not pixels: an undo back to the same object is no change.
    if (m_image.cacheKey() == value.cacheKey())
        return;
    m_image = value;
    Q_EMIT imageChanged();
}

void EditorModel::bump()
{
    ++m_revision;
    Q_EMIT revisionChanged();
    if (onNeedsDisplay)
        onNeedsDisplay();
}

EditorModel::Snapshot EditorModel::snapshot() const
{
    return {m_image, m_annotations, m_nextNumber};
}

void EditorModel::pushUndo()
{
    m_undoStack.append(snapshot());
    trimUndoStack();
    m_redoStack.clear();
    Q_EMIT undoStateChanged();
}

void EditorModel::trimUndoStack()
{
    // At most maxUndoImages distinct base images: the snapshot holding the next
    // older distinct image and everything before it go.
    QSet<qint64> seen;
    for (qsizetype i = m_undoStack.size() - 1; i >= 0; --i) {
        seen.insert(m_undoStack[i].image.cacheKey());
        if (seen.size() > maxUndoImages) {
            m_undoStack.remove(0, i + 1);
            break;
        }
    }
    if (m_undoStack.size() > maxUndoEntries)
        m_undoStack.remove(0, m_undoStack.size() - maxUndoEntries);
}

void EditorModel::apply(const Snapshot &snapshot)
{
    setImage(snapshot.image);
    setAnnotations(snapshot.annotations);
    setNextNumber(snapshot.nextNumber);
    setSelectedID(std::nullopt);
    setEditingTextID(std::nullopt);
    setCropRect(std::nullopt);
    bump();
}

void EditorModel::undo()
{
    if (m_undoStack.isEmpty())
        return;
    const Snapshot previous = m_undoStack.takeLast();
    m_redoStack.append(snapshot());
    Q_EMIT undoStateChanged();
    apply(previous);
}

void EditorModel::redo()
{
    if (m_redoStack.isEmpty())
        return;
    const Snapshot next = m_redoStack.takeLast();
    m_undoStack.append(snapshot());
    Q_EMIT undoStateChanged();
    apply(next);
}

void EditorModel::add(const Annotation &annotation)
{
    m_annotations.append(annotation);
    Q_EMIT annotationsChanged();
    setSelectedID(annotation.id);
    bump();
}

void EditorModel::remove(const QUuid &id)
{
    const qsizetype removed =
        m_annotations.removeIf([&id](const Annotation &annotation) { return annotation.id == id; });
    if (removed > 0)
        Q_EMIT annotationsChanged();
    if (m_selectedID == id)
        setSelectedID(std::nullopt);
    if (m_editingTextID == id)
        setEditingTextID(std::nullopt);
    bump();
}

void EditorModel::clearAll()
{
    if (m_annotations.isEmpty())
        return;
    pushUndo();
    setAnnotations({});
    setSelectedID(std::nullopt);
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
        setCropRect(std::nullopt);
        bump();
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
    setAnnotations(kept);
    setCropRect(std::nullopt);
    setSelectedID(std::nullopt);
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
    AnnotationRenderer::render(painter, m_annotations, m_image, imageArea.size());
    painter.end();
    return result;
}

} // namespace zorv
