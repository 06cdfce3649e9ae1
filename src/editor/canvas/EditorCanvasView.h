#pragma once

#include "editor/canvas/CanvasGestures.h"
#include "editor/canvas/CanvasLayout.h"

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <optional>

class QPlainTextEdit;

namespace zorv
{
class EditorModel;
// The interactive surface of one editor window.
class EditorCanvasView : public QWidget
{
    Q_OBJECT
  public:
    // Installs itself as the model's onNeedsDisplay; the model outlives it.
    explicit EditorCanvasView(EditorModel &model, QWidget *parent = nullptr);
    ~EditorCanvasView() override;
    EditorModel &model() const;
    bool isEditingText() const;
    // Ends an in-place text edit as Return does; the window calls it before a
    // command that exports the image (save, copy, pin, …) or changes the mode.
    void commitTextEditing();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    CanvasLayout layout() const;
    void press(QMouseEvent *event, int clickCount);
    void invalidate(std::optional<QRectF> imageArea);
    // Background, backdrop and scaled image at the view's size and pixel ratio.
    const QPixmap &base(const CanvasLayout &layout);
    // The image at `devicePixels`, smoothly scaled; the image itself at its own size.
    const QImage &scaledImage(QSize devicePixels);
    void drawSelection(QPainter &painter, const CanvasLayout &layout);
    void drawCrop(QPainter &painter, const CanvasLayout &layout);
    void toolChanged();
    void modelChanged();
    void openTextEditor(const QUuid &id);
    void closeTextEditor();
    void placeTextEditor();
    void textEdited();

    EditorModel &m_model;
    CanvasGestures m_gestures;
    AnnotationTool m_lastTool;
    QPointer<QPlainTextEdit> m_textEdit;
    QUuid m_editedID;

    QPixmap m_base;
    struct BaseKey {
        qint64 image = 0;
        QSize size;
        qreal ratio = 0;
        Backdrop backdrop;
        bool operator==(const BaseKey &other) const = default;
    };
    std::optional<BaseKey> m_baseKey;
    QImage m_scaled;
    struct ScaledKey {
        qint64 image = 0;
        QSize size;
        bool operator==(const ScaledKey &other) const = default;
    };
    std::optional<ScaledKey> m_scaledKey;
};
} // namespace zorv
