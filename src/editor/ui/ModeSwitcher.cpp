#include "editor/ui/ModeSwitcher.h"

#include "editor/ui/EditorButton.h"
#include "editor/ui/EditorStyle.h"

#include <QPainter>

namespace zorv
{

ModeSwitcher::ModeSwitcher(QWidget *parent) : QWidget(parent)
{
    const QList<EditorMode> &modes = editorMode::all();
    setFixedSize(segmentWidth * int(modes.size()), segmentHeight);
    for (int i = 0; i < modes.size(); ++i) {
        const EditorMode mode = modes[i];
        auto *segment = new EditorButton(QString(), editorMode::label(mode), this);
        segment->setCheckable(true);
        segment->setRadius(segmentHeight / 2.0 - 1);
        segment->setGeometry(i * segmentWidth, 0, segmentWidth, segmentHeight);
        // The switcher, not the button, decides which segment is checked.
        connect(segment, &EditorButton::clicked, this, [this, mode, segment] {
            segment->setChecked(!segment->isChecked());
            Q_EMIT modeChosen(mode);
        });
        m_segments.append(segment);
    }
    setMode(EditorMode::annotate);
}

void ModeSwitcher::setMode(EditorMode mode)
{
    const QList<EditorMode> &modes = editorMode::all();
    for (int i = 0; i < modes.size(); ++i)
        m_segments[i]->setChecked(modes[i] == mode);
}

EditorButton *ModeSwitcher::segment(EditorMode mode) const
{
    return m_segments.value(editorMode::all().indexOf(mode));
}

void ModeSwitcher::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(editorStyle::hairline(), 1));
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.28f));
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
}

} // namespace zorv
