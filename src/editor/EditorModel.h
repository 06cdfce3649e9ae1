#pragma once

#include "common/CaptureKind.h"
#include "editor/Annotation.h"
#include "editor/Backdrop.h"
#include "editor/ToolSettings.h"
#include "editor/UndoHistory.h"
#include "editor/effects/ImageEffects.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

namespace zorv
{

class AppSettings;

// The document of one editor window: the capture, its annotations, selection,
// a pending crop and the backdrop, with its undo history and tool settings.
// Main thread only. A change of the document emits `changed` once per call;
// changes to the picture also bump `revision` and call onNeedsDisplay.
class EditorModel : public QObject
{
    Q_OBJECT
  public:
    using Snapshot = UndoHistory::Snapshot;

    // fileName nullopt: a name from the settings' template and image format.
    // The settings are read here only, for that name and the tools' start values.
    EditorModel(QImage image, CaptureKind kind, std::optional<QString> fileName,
                const AppSettings &settings, QObject *parent = nullptr);

    const UndoHistory &history() const { return m_history; }
    ToolSettings &tools() { return m_tools; }
    const ToolSettings &tools() const { return m_tools; }

    const QImage &image() const { return m_image; }
    CaptureKind kind() const { return m_kind; }
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &value);

    const QList<Annotation> &annotations() const { return m_annotations; }
    void setAnnotations(const QList<Annotation> &value);
    // Replaces the annotation with the same id; false when there is none.
    bool replaceAnnotation(const Annotation &annotation);

    std::optional<QUuid> selectedID() const { return m_selectedID; }
    void setSelectedID(std::optional<QUuid> value);
    std::optional<Annotation> selectedAnnotation() const;
    std::optional<QUuid> editingTextID() const { return m_editingTextID; }
    void setEditingTextID(std::optional<QUuid> value);
    std::optional<QRectF> cropRect() const { return m_cropRect; }
    void setCropRect(std::optional<QRectF> value);

    qint64 nextNumber() const { return m_nextNumber; }
    void setNextNumber(qint64 value);
    // Whether placing a number badge advances nextNumber; read from the
    // settings when the model is made.
    bool autoIncrementNumbers() const { return m_autoIncrementNumbers; }
    void setAutoIncrementNumbers(bool value) { m_autoIncrementNumbers = value; }
    int saveCount() const { return m_saveCount; }
    void setSaveCount(int value);
    std::optional<QUrl> lastSavedURL() const { return m_lastSavedURL; }
    void setLastSavedURL(std::optional<QUrl> value);

    const Backdrop &backdrop() const { return m_backdrop; }
    // A change bumps; it is not undoable.
    void setBackdrop(const Backdrop &value);

    qint64 revision() const { return m_revision; }

    // Set by the canvas; called on every bump.
    std::function<void()> onNeedsDisplay;

    // revision + 1, then onNeedsDisplay.
    void bump();
    // Remembers the current state before a change; empties redo. Steps with the
    // same non-empty merge key in a row are one step (see UndoHistory::record).
    void pushUndo(const QString &mergeKey = {});
    // Between these, changes need no pushUndo: the end records one step when the
    // document differs from its state at the beginning.
    void beginGesture();
    void endGesture();
    void undo();
    void redo();
    // Appends and selects; the caller pushes undo first.
    void add(const Annotation &annotation);
    // Deletes every annotation with this id; the caller pushes undo first.
    void remove(const QUuid &id);
    // Undoable; nothing happens when there are no annotations.
    void clearAll();
    // Moves the selected annotation by delta; a run of nudges of one annotation
    // is one undo step. Nothing happens without a selection.
    void nudgeSelected(QPointF delta);
    // Crops the image to cropRect rounded outward (undoable). A crop narrower
    // or shorter than 4 pixels is dropped instead.
    void applyCrop();
    void cancelCrop();

    // Backdrop, image and annotations in one sRGB premultiplied image; null for
    // an empty image. Without the backdrop it has the image's size.
    QImage flattenedImage() const;

    // Blurred and pixelated copies of this document's image, shared by the
    // canvas and the export; they go when the document does.
    ImageEffects &effects() const { return m_effects; }

  Q_SIGNALS:
    // Any stored document value above changed; emitted once per call.
    void changed();

  private:
    Snapshot snapshot() const;
    void apply(const Snapshot &snapshot);
    template <typename T> void assign(T &field, const T &value);
    void setImage(const QImage &value);
    void reportChange();

    QImage m_image;
    CaptureKind m_kind;
    ToolSettings m_tools;
    UndoHistory m_history;
    QString m_fileName;
    QList<Annotation> m_annotations;
    std::optional<QUuid> m_selectedID;
    std::optional<QUuid> m_editingTextID;
    std::optional<QRectF> m_cropRect;
    qint64 m_nextNumber = 1;
    bool m_autoIncrementNumbers = true;
    int m_saveCount = 0;
    std::optional<QUrl> m_lastSavedURL;
    Backdrop m_backdrop;
    qint64 m_revision = 0;
    mutable ImageEffects m_effects;
    bool m_changed = false; // a value changed since `changed` was last emitted
};

} // namespace zorv
