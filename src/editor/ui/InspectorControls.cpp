#include "editor/ui/InspectorControls.h"

#include "editor/ui/EditorStyle.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

namespace zorv
{

namespace
{
constexpr int swatchSize = 26;
} // namespace

SwatchButton::SwatchButton(const QColor &colour, const QString &label, QWidget *parent)
    : QAbstractButton(parent), m_colour(colour)
{
    setText(label);
    setFocusPolicy(Qt::TabFocus);
    if (label.isEmpty()) {
        setFixedSize(swatchSize + 6, swatchSize + 6);
        setAccessibleName(QStringLiteral("Color %1").arg(colour.name(QColor::HexRgb).toUpper()));
        setToolTip(colour.name(QColor::HexRgb).toUpper());
    } else {
        setAccessibleName(label);
        setFixedHeight(32);
    }
}

void SwatchButton::setColour(const QColor &colour)
{
    if (m_colour == colour)
        return;
    m_colour = colour;
    update();
}

void SwatchButton::setMarked(bool marked)
{
    if (m_marked == marked)
        return;
    m_marked = marked;
    update();
}

QSize SwatchButton::sizeHint() const
{
    if (text().isEmpty())
        return {swatchSize + 6, swatchSize + 6};
    return {fontMetrics().horizontalAdvance(text()) + 56, 32};
}

void SwatchButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (text().isEmpty()) {
        const QRectF chip = QRectF(rect()).adjusted(3, 3, -3, -3);
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.22f), 1));
        painter.setBrush(m_colour);
        painter.drawEllipse(chip.adjusted(0.5, 0.5, -0.5, -0.5));
        if (m_marked || hasFocus()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(hasFocus() ? Theme::accent() : editorStyle::text(), 2));
            painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
        return;
    }
    // The "Custom color" row: a body like the editor's buttons, the chip and the label.
    const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isDown()       ? editorStyle::controlPressed()
                     : underMouse() ? editorStyle::controlHover()
                                    : editorStyle::controlFill());
    painter.drawRoundedRect(body, 7, 7);
    if (hasFocus())
        editorStyle::paintFocusRing(painter, body, 7);
    const QRectF chip(8, (height() - 18) / 2.0, 18, 18);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.3f), 1));
    painter.setBrush(m_colour);
    painter.drawEllipse(chip);
    painter.setPen(editorStyle::text());
    painter.drawText(QRectF(chip.right() + 10, 0, width() - chip.right() - 14, height()),
                     Qt::AlignVCenter | Qt::AlignLeft, text());
}

BackdropTile::BackdropTile(const BackdropPreset *preset, QWidget *parent)
    : QAbstractButton(parent), m_preset(preset)
{
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(50, 36);
    const QString name = preset ? preset->name : QStringLiteral("None");
    setAccessibleName(name);
    setToolTip(name);
}

void BackdropTile::setMarked(bool marked)
{
    if (m_marked == marked)
        return;
    m_marked = marked;
    update();
}

void BackdropTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = QRectF(rect()).adjusted(3, 3, -3, -3);
    if (m_preset) {
        QLinearGradient gradient(tile.topLeft(), tile.bottomRight());
        const qsizetype count = m_preset->colors.size();
        for (qsizetype i = 0; i < count; ++i)
            gradient.setColorAt(count > 1 ? double(i) / double(count - 1) : 0,
                                QColor(m_preset->colors[i]));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawRoundedRect(tile, 6, 6);
    } else {
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.25f), 1, Qt::DashLine));
        painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.04f));
        painter.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        painter.setPen(editorStyle::secondaryText());
        QFont font = painter.font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        painter.setFont(font);
        painter.drawText(tile, Qt::AlignCenter, QStringLiteral("None"));
    }
    if (m_marked || hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(hasFocus() && !m_marked ? Theme::accent() : editorStyle::text(), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }
}

ValueSlider::ValueSlider(const QString &label, double minimum, double maximum, int steps,
                         Format format, QWidget *parent)
    : QWidget(parent), m_minimum(minimum), m_maximum(maximum), m_format(std::move(format)),
      m_value(editorStyle::secondaryLabel({}, this)), m_slider(new QSlider(Qt::Horizontal, this))
{
    auto *name = new QLabel(label, this);
    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(name);
    top->addStretch(1);
    top->addWidget(m_value);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(m_slider);
    m_slider->setRange(0, steps);
    // Reached by Tab only: a click must leave the focus on the canvas, whose
    // keys (arrows, tool letters) would otherwise move the slider.
    m_slider->setFocusPolicy(Qt::TabFocus);
    m_slider->setAccessibleName(label);
    name->setBuddy(m_slider);
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        const double value = valueAt(position);
        m_value->setText(m_format(value));
        Q_EMIT valueChanged(value);
    });
}

double ValueSlider::valueAt(int position) const
{
    return m_minimum + (m_maximum - m_minimum) * position / m_slider->maximum();
}

void ValueSlider::setValue(double value)
{
    const QSignalBlocker blocker(m_slider);
    const double fraction = (value - m_minimum) / (m_maximum - m_minimum);
    m_slider->setValue(int(std::lround(std::clamp(fraction, 0.0, 1.0) * m_slider->maximum())));
    // The value itself, which may lie outside the slider's range (a scaled
    // start value on a large capture).
    m_value->setText(m_format(value));
}

QString ValueSlider::valueText() const
{
    return m_value->text();
}

QWidget *valueRow(const QString &label, QLabel *value, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *name = new QLabel(label, row);
    layout->addWidget(name);
    layout->addStretch(1);
    value->setParent(row);
    layout->addWidget(value);
    return row;
}

} // namespace zorv
