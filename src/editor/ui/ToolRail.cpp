#include "editor/ui/ToolRail.h"

#include "editor/ui/EditorButton.h"
#include "editor/ui/EditorStyle.h"

#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace zorv
{

namespace
{
constexpr int buttonSize = 32;
constexpr int pillButtonSize = 30;

// A hairline between groups of buttons.
QWidget *separator(QWidget *parent, int width)
{
    auto *line = new QWidget(parent);
    line->setFixedSize(width, 1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, editorStyle::hairline());
    line->setPalette(palette);
    return line;
}

// The rounded capsule behind the history buttons.
class Pill : public QWidget
{
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(editorStyle::hairline(), 1));
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.25f));
        const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.drawRoundedRect(bounds, bounds.width() / 2, bounds.width() / 2);
    }
};

EditorButton *railButton(const QString &symbol, const QString &help, QWidget *parent)
{
    auto *button = new EditorButton(symbol, QString(), parent);
    button->setHelp(help);
    button->setFixedSize(buttonSize, buttonSize);
    button->setRadius(8);
    return button;
}
} // namespace

ToolRail::ToolRail(QWidget *parent) : QWidget(parent)
{
    setFixedWidth(railWidth);
    // On a short screen the tools scroll; the history pill stays in view.
    auto *tools = new QWidget;
    tools->setObjectName(QStringLiteral("railTools"));
    tools->setStyleSheet(QStringLiteral("#railTools { background: transparent; }"));
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(tools);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 1, 8);
    outer->setSpacing(6);
    outer->addWidget(scroll, 1);

    auto *layout = new QVBoxLayout(tools);
    layout->setContentsMargins(8, 8, 7, 0);
    layout->setSpacing(2);

    for (AnnotationTool tool : annotationTool::all()) {
        if (tool == AnnotationTool::crop)
            continue;
        const QString help = QStringLiteral("%1 (%2)").arg(annotationTool::title(tool),
                                                           annotationTool::shortcut(tool));
        EditorButton *button = railButton(annotationTool::symbol(tool), help, tools);
        button->setCheckable(true);
        connect(button, &EditorButton::clicked, this, [this, tool, button] {
            // The highlight follows the model, not the click.
            button->setChecked(!button->isChecked());
            Q_EMIT toolChosen(tool);
        });
        m_tools.insert(tool, button);
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    layout->addSpacing(3);
    layout->addWidget(separator(tools, buttonSize - 8), 0, Qt::AlignHCenter);
    layout->addSpacing(3);
    EditorButton *crop = railButton(QStringLiteral("crop"), QStringLiteral("Crop (C)"), tools);
    crop->setCheckable(true);
    connect(crop, &EditorButton::clicked, this, [this, crop] {
        crop->setChecked(!crop->isChecked());
        Q_EMIT toolChosen(AnnotationTool::crop);
    });
    m_tools.insert(AnnotationTool::crop, crop);
    layout->addWidget(crop, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    m_pill = new Pill(this);
    auto *pillLayout = new QVBoxLayout(m_pill);
    pillLayout->setContentsMargins(2, 4, 2, 4);
    pillLayout->setSpacing(2);
    m_undo =
        railButton(QStringLiteral("arrow.uturn.backward"), QStringLiteral("Undo (Ctrl+Z)"), m_pill);
    m_redo = railButton(QStringLiteral("arrow.uturn.forward"),
                        QStringLiteral("Redo (Ctrl+Shift+Z)"), m_pill);
    m_clear = railButton(QStringLiteral("trash"), QStringLiteral("Remove All Annotations"), m_pill);
    for (EditorButton *button : {m_undo, m_redo, m_clear}) {
        button->setFixedSize(pillButtonSize, pillButtonSize);
        button->setRadius(pillButtonSize / 2.0);
    }
    pillLayout->addWidget(m_undo);
    pillLayout->addWidget(m_redo);
    pillLayout->addSpacing(2);
    pillLayout->addWidget(separator(m_pill, pillButtonSize - 12), 0, Qt::AlignHCenter);
    pillLayout->addSpacing(2);
    pillLayout->addWidget(m_clear);
    outer->addWidget(m_pill, 0, Qt::AlignHCenter);

    connect(m_undo, &EditorButton::clicked, this, &ToolRail::undoRequested);
    connect(m_redo, &EditorButton::clicked, this, &ToolRail::redoRequested);
    connect(m_clear, &EditorButton::clicked, this, &ToolRail::clearAllRequested);
}

void ToolRail::showState(EditorMode mode, AnnotationTool tool)
{
    for (auto it = m_tools.cbegin(); it != m_tools.cend(); ++it) {
        const bool current = it.key() == AnnotationTool::crop
                                 ? mode == EditorMode::crop
                                 : mode == EditorMode::annotate && it.key() == tool;
        it.value()->setChecked(current);
    }
}

void ToolRail::showHistory(bool canUndo, bool canRedo, bool hasAnnotations)
{
    m_undo->setEnabled(canUndo);
    m_redo->setEnabled(canRedo);
    m_clear->setEnabled(hasAnnotations);
}

void ToolRail::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), editorStyle::panelBackground());
    painter.fillRect(QRect(width() - 1, 0, 1, height()), editorStyle::hairline());
}

} // namespace zorv
