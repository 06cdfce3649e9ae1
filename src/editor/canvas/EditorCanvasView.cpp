#include "editor/canvas/EditorCanvasView.h"

#include "editor/AnnotationRenderer.h"
#include "editor/ColorHex.h"
#include "editor/EditorModel.h"
#include "theme/Theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace zorv
{

namespace
{
// How far past an annotation's drawing its chrome (outline, grips) reaches.
constexpr double chromeReach = 18;
constexpr double outerCornerRadius = 14;

QColor canvasGrey()
{
    return QColor::fromRgbF(0.075f, 0.075f, 0.075f);
}

double backdropRadius(const EditorModel &model, const CanvasLayout &layout)
{
    const QSize size = model.image().size();
    const double longSide = std::max(size.width(), size.height());
    return longSide * std::max(model.backdrop().cornerRadius, 0.0) * layout.imageScale;
}

// What the selection outline surrounds: a text's whole box, a badge's circle,
// else the bounds (a text or badge has none of its own).
QRectF outlineArea(const Annotation &a, QSizeF imageSize)
{
    if (a.tool == AnnotationTool::text && !a.text.isEmpty())
        return QRectF(a.start, AnnotationRenderer::textBoxSize(a, imageSize));
    if (a.tool == AnnotationTool::number) {
        const double r = AnnotationRenderer::numberBadgeDiameter(a.fontSize) / 2;
        return QRectF(a.start - QPointF(r, r), QSizeF(2 * r, 2 * r));
    }
    return a.bounds();
}
} // namespace

EditorCanvasView::EditorCanvasView(EditorModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_gestures(model), m_lastTool(model.tools().tool())
{
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel is painted, from the cached base first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(80, 80);
    // Held weakly: the model outlives the canvas, and a canvas built later for
    // the same model installs its own.
    m_model.onNeedsDisplay = [canvas = QPointer<EditorCanvasView>(this)] {
        // A drag repaints only where the annotation was and is.
        if (canvas && !canvas->m_gestures.repaintsLocally())
            canvas->update();
    };
    m_gestures.onInvalidate = [this](std::optional<QRectF> area) { invalidate(area); };
    m_gestures.onTextEditingBegan = [this](const QUuid &id) { openTextEditor(id); };
    m_gestures.onTextEditingEnded = [this] { closeTextEditor(); };
    connect(&m_model.tools(), &ToolSettings::changed, this, &EditorCanvasView::toolChanged);
    connect(&m_model, &EditorModel::changed, this, &EditorCanvasView::modelChanged);
    setCursor(m_lastTool == AnnotationTool::select ? Qt::ArrowCursor : Qt::CrossCursor);
}

EditorCanvasView::~EditorCanvasView()
{
    // The model is left as it is: its other listeners (the window around us)
    // may be half destroyed by now. The window ends a text edit before it
    // closes; a session still open here is dropped.
    m_gestures.onTextEditingEnded = nullptr;
    m_gestures.onTextEditingBegan = nullptr;
    m_gestures.onInvalidate = nullptr;
    disconnect(&m_model, nullptr, this, nullptr);
    disconnect(&m_model.tools(), nullptr, this, nullptr);
    if (m_textEdit) {
        m_textEdit->removeEventFilter(this);
        disconnect(m_textEdit, nullptr, this, nullptr);
    }
}

EditorModel &EditorCanvasView::model() const
{
    return m_model;
}

bool EditorCanvasView::isEditingText() const
{
    return m_gestures.isEditingText();
}

void EditorCanvasView::commitTextEditing()
{
    m_gestures.commitTextEditing();
}

CanvasLayout EditorCanvasView::layout() const
{
    return CanvasLayout::compute(QSizeF(size()), m_model.image().size(), m_model.backdrop());
}

void EditorCanvasView::invalidate(std::optional<QRectF> imageArea)
{
    if (!imageArea) {
        update();
        return;
    }
    const QRectF view =
        layout().toView(*imageArea).adjusted(-chromeReach, -chromeReach, chromeReach, chromeReach);
    update(view.toAlignedRect().intersected(rect()));
}

void EditorCanvasView::toolChanged()
{
    const AnnotationTool tool = m_model.tools().tool();
    if (tool == m_lastTool)
        return;
    m_lastTool = tool;
    m_gestures.commitTextEditing();
    setCursor(tool == AnnotationTool::select ? Qt::ArrowCursor : Qt::CrossCursor);
    // Grips show only with the select tool.
    update();
}

void EditorCanvasView::modelChanged()
{
    if (!m_gestures.isEditingText())
        return;
    // An undo or a crop while typing ends the session without a commit.
    const bool gone = std::none_of(m_model.annotations().begin(), m_model.annotations().end(),
                                   [this](const Annotation &a) { return a.id == m_editedID; });
    if (gone || m_model.editingTextID() != m_editedID)
        m_gestures.abandonTextEditing();
    else
        placeTextEditor();
}

// Drawing ---------------------------------------------------------------------

const QPixmap &EditorCanvasView::base(const CanvasLayout &layout)
{
    const qreal ratio = devicePixelRatioF();
    const BaseKey key{m_model.image().cacheKey(), size(), ratio, m_model.backdrop()};
    if (m_baseKey == key)
        return m_base;
    m_baseKey = key;
    // Drop the old pixmap before making the new one: never two at a time.
    m_base = QPixmap();
    m_base = QPixmap((QSizeF(size()) * ratio).toSize());
    m_base.setDevicePixelRatio(ratio);
    m_base.fill(canvasGrey());
    if (layout.isEmpty() || m_model.image().isNull())
        return m_base;

    QPainter painter(&m_base);
    painter.setRenderHint(QPainter::Antialiasing);
    const Backdrop &backdrop = m_model.backdrop();
    const double radius = backdropRadius(m_model, layout);
    if (backdrop.isOn) {
        painter.save();
        QPainterPath outer;
        outer.addRoundedRect(layout.outer, outerCornerRadius, outerCornerRadius);
        painter.setClipPath(outer);
        backdrop.drawBackground(painter, layout.outer, layout.image, radius);
        painter.restore();
        QPainterPath inner;
        inner.addRoundedRect(layout.image, radius, radius);
        painter.setClipPath(inner);
    }
    // Scaled once with area averaging, then drawn pixel for pixel: sharp at
    // any pixel ratio, and no resampling per frame.
    const QSize devicePixels = (layout.image.size() * ratio).toSize().expandedTo(QSize(1, 1));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(layout.image, scaledImage(devicePixels));
    painter.setClipping(false);
    if (!backdrop.isOn) {
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.08f), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(layout.image.adjusted(-0.5, -0.5, 0.5, 0.5));
    }
    return m_base;
}

const QImage &EditorCanvasView::scaledImage(QSize devicePixels)
{
    // Kept between bases: a backdrop slider that leaves the image's size alone
    // (corner radius, shadow) then costs no new smooth rescale per step.
    const ScaledKey key{m_model.image().cacheKey(), devicePixels};
    if (m_scaledKey == key)
        return m_scaled;
    m_scaledKey = key;
    m_scaled = QImage();
    m_scaled =
        devicePixels == m_model.image().size()
            ? m_model.image()
            : m_model.image().scaled(devicePixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return m_scaled;
}

void EditorCanvasView::paintEvent(QPaintEvent *event)
{
    const CanvasLayout layout = this->layout();
    QPainter painter(this);
    painter.drawPixmap(QPointF(0, 0), base(layout));
    if (layout.isEmpty())
        return;

    // Only annotations that can show in the repainted area are drawn; their
    // order is kept, and effects depend on the image alone.
    const QSizeF imageSize(m_model.image().size());
    const double s = std::max(layout.imageScale, 0.0001);
    const QRectF dirty = QRectF(event->rect()).translated(-layout.image.topLeft());
    const QRectF dirtyImage(dirty.topLeft() / s, dirty.size() / s);
    const std::optional<QUuid> editing = m_model.editingTextID();
    QList<Annotation> visible;
    auto consider = [&](const Annotation &a) {
        if (editing && a.id == *editing)
            return;
        if (canvasGeometry::paintBounds(a, imageSize).intersects(dirtyImage))
            visible.append(a);
    };
    for (const Annotation &a : m_model.annotations())
        consider(a);
    if (const std::optional<Annotation> &draft = m_gestures.draft())
        consider(*draft);

    if (!visible.isEmpty()) {
        painter.save();
        if (m_model.backdrop().isOn) {
            painter.setRenderHint(QPainter::Antialiasing);
            const double radius = backdropRadius(m_model, layout);
            QPainterPath clip;
            clip.addRoundedRect(layout.image, radius, radius);
            painter.setClipPath(clip, Qt::IntersectClip);
        } else {
            painter.setClipRect(layout.image, Qt::IntersectClip);
        }
        painter.translate(layout.image.topLeft());
        painter.scale(layout.imageScale, layout.imageScale);
        AnnotationRenderer::render(painter, visible, m_model.image(), imageSize, m_model.effects());
        painter.restore();
    }
    drawSelection(painter, layout);
    drawCrop(painter, layout);
}

void EditorCanvasView::drawSelection(QPainter &painter, const CanvasLayout &layout)
{
    const std::optional<Annotation> selected = m_model.selectedAnnotation();
    if (!selected || m_model.editingTextID() == selected->id)
        return;
    const QColor accent = Theme::accent();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen dashed(accent, 1);
    dashed.setDashPattern({4, 3});
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    const QSizeF imageSize(m_model.image().size());
    painter.drawRect(layout.toView(outlineArea(*selected, imageSize)).adjusted(-5, -5, 5, 5));
    if (m_model.tools().tool() == AnnotationTool::select) {
        painter.setPen(QPen(accent, 1.5));
        painter.setBrush(Qt::white);
        for (const canvasGeometry::HandlePoint &h : canvasGeometry::handlePoints(*selected)) {
            const double side = canvasGeometry::isCornerHandle(h.handle) ? 7 : 6;
            const QPointF c = layout.toView(h.point);
            painter.drawRoundedRect(QRectF(c - QPointF(side / 2, side / 2), QSizeF(side, side)),
                                    1.5, 1.5);
        }
    }
    painter.restore();
}

void EditorCanvasView::drawCrop(QPainter &painter, const CanvasLayout &layout)
{
    const std::optional<QRectF> crop = m_model.cropRect();
    if (!crop)
        return;
    const QRectF r = layout.toView(*crop);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath dim;
    dim.setFillRule(Qt::OddEvenFill);
    dim.addRect(QRectF(rect()));
    dim.addRect(r);
    painter.fillPath(dim, QColor::fromRgbF(0, 0, 0, 0.45f));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.22f), 0.5));
    for (int i = 1; i <= 2; ++i) {
        const double x = r.left() + r.width() * i / 3;
        const double y = r.top() + r.height() * i / 3;
        painter.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
        painter.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (const QPointF &corner : {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()})
        painter.drawRoundedRect(QRectF(corner - QPointF(4, 4), QSizeF(8, 8)), 1.5, 1.5);
    painter.restore();
}

void EditorCanvasView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeTextEditor();
}

// Input -----------------------------------------------------------------------

void EditorCanvasView::press(QMouseEvent *event, int clickCount)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const CanvasLayout layout = this->layout();
    if (layout.isEmpty())
        return;
    const QPointF pos = event->position();
    m_gestures.press(
        {layout.toImageUnclamped(pos), layout.image.contains(pos), layout.imageScale, clickCount});
    event->accept();
}

void EditorCanvasView::mousePressEvent(QMouseEvent *event)
{
    press(event, 1);
}

void EditorCanvasView::mouseDoubleClickEvent(QMouseEvent *event)
{
    press(event, 2);
}

void EditorCanvasView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const CanvasLayout layout = this->layout();
    if (!layout.isEmpty())
        m_gestures.drag(layout.toImage(event->position()));
}

void EditorCanvasView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_gestures.release();
}

void EditorCanvasView::keyPressEvent(QKeyEvent *event)
{
    using Key = CanvasGestures::Key;
    if (m_gestures.isEditingText()) {
        QWidget::keyPressEvent(event);
        return;
    }
    Key key = Key::other;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        key = Key::enter;
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        key = Key::remove;
        break;
    case Qt::Key_Escape:
        key = Key::escape;
        break;
    case Qt::Key_Left:
        key = Key::left;
        break;
    case Qt::Key_Right:
        key = Key::right;
        break;
    case Qt::Key_Up:
        key = Key::up;
        break;
    case Qt::Key_Down:
        key = Key::down;
        break;
    default:
        break;
    }
    // Letters with Ctrl, Alt or Meta are commands of the window, not tools.
    const bool command =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool handled = !(key == Key::other && command) &&
                         m_gestures.keyPress(key, event->modifiers() & Qt::ShiftModifier,
                                             key == Key::other ? event->text() : QString());
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

// In-place text editing ---------------------------------------------------------

void EditorCanvasView::openTextEditor(const QUuid &id)
{
    closeTextEditor();
    m_editedID = id;
    const std::optional<Annotation> a = m_model.selectedAnnotation();
    if (!a || a->id != id)
        return;
    auto *edit = new QPlainTextEdit(this);
    m_textEdit = edit;
    edit->setFrameStyle(QFrame::NoFrame);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->document()->setDocumentMargin(0);
    edit->setBackgroundVisible(false);
    edit->setAutoFillBackground(false);
    edit->viewport()->setAutoFillBackground(false);
    edit->setAttribute(Qt::WA_TranslucentBackground);
    edit->setWordWrapMode(AnnotationRenderer::textAttributes(*a).option.wrapMode());
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setPlainText(a->text);
    edit->moveCursor(QTextCursor::End);
    edit->installEventFilter(this);
    connect(edit, &QPlainTextEdit::textChanged, this, &EditorCanvasView::textEdited);
    placeTextEditor();
    edit->show();
    edit->setFocus(Qt::OtherFocusReason);
}

void EditorCanvasView::closeTextEditor()
{
    m_editedID = QUuid();
    if (!m_textEdit)
        return;
    QPlainTextEdit *edit = m_textEdit;
    m_textEdit = nullptr;
    edit->removeEventFilter(this);
    disconnect(edit, nullptr, this, nullptr);
    const bool hadFocus = edit->hasFocus();
    edit->hide();
    // Often called from the editor's own key event.
    edit->deleteLater();
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
    update();
}

void EditorCanvasView::placeTextEditor()
{
    if (!m_textEdit)
        return;
    const std::optional<Annotation> a = m_model.selectedAnnotation();
    if (!a || a->id != m_editedID)
        return;
    const CanvasLayout layout = this->layout();
    const QSizeF imageSize(m_model.image().size());
    // Colour and size follow the inspector and the zoom while typing.
    const AnnotationRenderer::TextAttributes attributes = AnnotationRenderer::textAttributes(*a);
    QPalette palette = m_textEdit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::Text, attributes.color);
    if (palette != m_textEdit->palette())
        m_textEdit->setPalette(palette);
    const QFont font = attributes.fontFor(*m_textEdit, layout.imageScale);
    if (font != m_textEdit->font())
        m_textEdit->setFont(font);
    // The renderer's wrap width and box, so lines break where they will be saved.
    const double wrap = AnnotationRenderer::textWrapWidth(*a, imageSize) * layout.imageScale;
    const QSizeF box = AnnotationRenderer::textBoxSize(*a, imageSize) * layout.imageScale;
    const int lineHeight = m_textEdit->fontMetrics().lineSpacing();
    const QPoint origin = layout.toView(a->start).toPoint();
    // The editor wraps at its own width; it has no frame or margins.
    const int width = int(std::ceil(wrap));
    const int height = std::max(int(std::ceil(box.height())) + lineHeight, 24);
    if (m_textEdit->pos() != origin || m_textEdit->width() != width ||
        std::abs(m_textEdit->height() - height) > 1) {
        m_textEdit->setGeometry(QRect(origin, QSize(width, height)));
        // Text past the image's edge is not drawn in the export either.
        const QRect visible = layout.image.toAlignedRect().translated(-origin);
        m_textEdit->setMask(QRegion(visible.intersected(m_textEdit->rect())));
    }
}

void EditorCanvasView::textEdited()
{
    if (!m_textEdit)
        return;
    // The model's change moves and sizes the editor (modelChanged).
    m_gestures.setEditedText(m_textEdit->toPlainText());
}

bool EditorCanvasView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_textEdit && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & Qt::ShiftModifier)) {
            // A plain line break, not the editor's own separator character.
            m_textEdit->insertPlainText(QStringLiteral("\n"));
            return true;
        }
        if (enter || key->key() == Qt::Key_Escape) {
            m_gestures.commitTextEditing();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zorv
