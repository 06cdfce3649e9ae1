#pragma once

#include "common/CaptureKind.h"
#include "editor/Annotation.h"
#include "editor/AnnotationTool.h"
#include "editor/Backdrop.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

namespace zorv
{

class AppSettings;

// The document of one editor window: the capture, its annotations, the current
// tool and its settings, selection, a pending crop, the backdrop, and undo.
// Main thread only. Every property reports changes through its signal; changes
// to the picture as a whole also bump `revision` and call onNeedsDisplay.
class EditorModel : public QObject
{
    Q_OBJECT
  public:
    // What undo restores. Images are shared, so a snapshot costs little more
    // than its annotation list.
    struct Snapshot {
        QImage image;
        QList<Annotation> annotations;
        qint64 nextNumber = 1;
    };

    static constexpr int maxUndoEntries = 40;
    static constexpr int maxUndoImages = 8;

    // fileName nullopt: a name from the settings' template and image format.
    EditorModel(QImage image, CaptureKind kind, std::optional<QString> fileName,
                AppSettings &settings, QObject *parent = nullptr);

    // Tool settings start larger on wide captures: image width / 1600, at least 1.
    static double toolScale(const QImage &image);

    AppSettings &settings() const { return m_settings; }

    const QImage &image() const { return m_image; }
    CaptureKind kind() const { return m_kind; }
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &value);

    const QList<Annotation> &annotations() const { return m_annotations; }
    void setAnnotations(const QList<Annotation> &value);
    // Replaces the annotation with the same id; false when there is none.
    bool replaceAnnotation(const Annotation &annotation);

    AnnotationTool tool() const { return m_tool; }
    void setTool(AnnotationTool value);
    QString colorHex() const { return m_colorHex; }
    void setColorHex(const QString &value);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double value);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double value);
    double blurRadius() const { return m_blurRadius; }
    void setBlurRadius(double value);
    double pixelScale() const { return m_pixelScale; }
    void setPixelScale(double value);

    std::optional<QUuid> selectedID() const { return m_selectedID; }
    void setSelectedID(std::optional<QUuid> value);
    std::optional<Annotation> selectedAnnotation() const;
    std::optional<QUuid> editingTextID() const { return m_editingTextID; }
    void setEditingTextID(std::optional<QUuid> value);
    std::optional<QRectF> cropRect() const { return m_cropRect; }
    void setCropRect(std::optional<QRectF> value);

    qint64 nextNumber() const { return m_nextNumber; }
    void setNextNumber(qint64 value);
    int saveCount() const { return m_saveCount; }
    void setSaveCount(int value);
    std::optional<QUrl> lastSavedURL() const { return m_lastSavedURL; }
    void setLastSavedURL(std::optional<QUrl> value);

    const Backdrop &backdrop() const { return m_backdrop; }
    // A change bumps.
    void setBackdrop(const Backdrop &value);

    qint64 revision() const { return m_revision; }
    const QList<Snapshot> &undoStack() const { return m_undoStack; }
    const QList<Snapshot> &redoStack() const { return m_redoStack; }
    bool canUndo() const { return !m_undoStack.isEmpty(); }
    bool canRedo() const { return !m_redoStack.isEmpty(); }

    // Set by the canvas; called on every bump.
    std::function<void()> onNeedsDisplay;

    // revision + 1, then onNeedsDisplay.
    void bump();
    // Remembers the current state before a change; empties redo.
    void pushUndo();
    void undo();
    void redo();
    // Appends and selects; the caller pushes undo first.
    void add(const Annotation &annotation);
    // Deletes every annotation with this id; the caller pushes undo first.
    void remove(const QUuid &id);
    // Undoable; nothing happens when there are no annotations.
    void clearAll();
    // Crops the image to cropRect rounded outward (undoable). A crop narrower
    // or shorter than 4 pixels is dropped instead.
    void applyCrop();
    void cancelCrop();

    // Backdrop, image and annotations in one sRGB premultiplied image; null for
    // an empty image. Without the backdrop it has the image's size.
    QImage flattenedImage() const;

  Q_SIGNALS:
    void imageChanged();
    void fileNameChanged();
    void annotationsChanged();
    void toolChanged();
    void colorHexChanged();
    void lineWidthChanged();
    void fontSizeChanged();
    void blurRadiusChanged();
    void pixelScaleChanged();
    void selectedIDChanged();
    void editingTextIDChanged();
    void cropRectChanged();
    void nextNumberChanged();
    void saveCountChanged();
    void lastSavedURLChanged();
    void backdropChanged();
    void revisionChanged();
    void undoStateChanged();

  private:
    Snapshot snapshot() const;
    void apply(const Snapshot &snapshot);
    void setImage(const QImage &value);
    void trimUndoStack();
    template <typename T, typename Signal> void assign(T &field, const T &value, Signal signal);

    AppSettings &m_settings;
    QImage m_image;
    CaptureKind m_kind;
    QString m_fileName;
    QList<Annotation> m_annotations;
    AnnotationTool m_tool = AnnotationTool::arrow;
    QString m_colorHex;
    double m_lineWidth;
    double m_fontSize;
    double m_blurRadius;
    double m_pixelScale;
    std::optional<QUuid> m_selectedID;
    std::optional<QUuid> m_editingTextID;
    std::optional<QRectF> m_cropRect;
    qint64 m_nextNumber = 1;
    int m_saveCount = 0;
    std::optional<QUrl> m_lastSavedURL;
    Backdrop m_backdrop;
    qint64 m_revision = 0;
    QList<Snapshot> m_undoStack;
    QList<Snapshot> m_redoStack;
};

} // namespace zorv
