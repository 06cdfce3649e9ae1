#include "editor/ui/EditorStyle.h"

#include "theme/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QWidget>

namespace zorv::editorStyle
{

QColor windowBackground()
{
    return QColor::fromRgbF(0.075f, 0.075f, 0.075f);
}

QColor panelBackground()
{
    return QColor::fromRgbF(0.105f, 0.105f, 0.115f);
}

QColor controlFill()
{
    return QColor::fromRgbF(1, 1, 1, 0.08f);
}

QColor controlHover()
{
    return QColor::fromRgbF(1, 1, 1, 0.12f);
}

QColor controlPressed()
{
    return QColor::fromRgbF(1, 1, 1, 0.18f);
}

QColor hairline()
{
    return QColor::fromRgbF(1, 1, 1, 0.09f);
}

QColor text()
{
    return QColor::fromRgbF(0.93f, 0.93f, 0.95f);
}

QColor secondaryText()
{
    return Theme::mix(panelBackground(), text(), 0.58);
}

QColor confirmGreen()
{
    return QColor::fromRgbF(0.19f, 0.72f, 0.4f);
}

void apply(QWidget *window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, windowBackground());
    palette.setColor(QPalette::Base, panelBackground());
    palette.setColor(QPalette::AlternateBase, panelBackground());
    palette.setColor(QPalette::Button, panelBackground());
    palette.setColor(QPalette::WindowText, text());
    palette.setColor(QPalette::Text, text());
    palette.setColor(QPalette::ButtonText, text());
    palette.setColor(QPalette::ToolTipBase, QColor::fromRgbF(0.16f, 0.16f, 0.18f));
    palette.setColor(QPalette::ToolTipText, text());
    palette.setColor(QPalette::PlaceholderText, secondaryText());
    palette.setColor(QPalette::Highlight, Theme::accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     Theme::mix(panelBackground(), text(), 0.35));
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     Theme::mix(panelBackground(), text(), 0.35));
    window->setPalette(palette);
    window->setAutoFillBackground(true);

    const QString accent = Theme::accent().name();
    const QString groove = QColor::fromRgbF(1, 1, 1, 0.14f).name(QColor::HexArgb);
    const QString menuRim = QColor::fromRgbF(1, 1, 1, 0.12f).name(QColor::HexArgb);
    window->setStyleSheet(
        QStringLiteral(
            // Labels take their colour from here: a style sheet on the window
            // keeps them from inheriting its palette.
            "QLabel { color: %4; background: transparent; }"
            "QLabel[secondary=\"true\"] { color: %5; }"
            "QSlider { min-height: 20px; background: transparent; }"
            "QSlider::groove:horizontal { height: 4px; border-radius: 2px; background: %1; }"
            "QSlider::sub-page:horizontal { height: 4px; border-radius: 2px; background: %2; }"
            "QSlider::add-page:horizontal { height: 4px; border-radius: 2px; background: %1; }"
            "QSlider::handle:horizontal { width: 14px; height: 14px; margin: -5px 0;"
            " border-radius: 7px; background: #f2f2f5; border: 1px solid rgba(0,0,0,0.35); }"
            "QSlider::handle:horizontal:focus { border: 2px solid %2; }"
            "QMenu { background: #232327; color: #ececf0; border: 1px solid %3;"
            " border-radius: 8px; padding: 5px; }"
            "QMenu::item { padding: 5px 26px 5px 12px; border-radius: 5px; }"
            "QMenu::item:selected { background: %2; color: white; }"
            "QMenu::item:disabled { color: #77777d; }"
            "QMenu::separator { height: 1px; background: %3; margin: 5px 8px; }"
            "QToolTip { background: #28282c; color: #ececf0; border: 1px solid %3;"
            " padding: 4px 6px; border-radius: 4px; }"
            "QScrollArea { background: transparent; border: none; }")
            .arg(groove, accent, menuRim, text().name(), secondaryText().name()) +
        Theme::thinScrollBarStyle());
}

QLabel *sectionTitle(const QString &title, QWidget *parent)
{
    auto *label = new QLabel(title.toUpper(), parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.82);
    font.setWeight(QFont::DemiBold);
    font.setLetterSpacing(QFont::PercentageSpacing, 108);
    label->setFont(font);
    label->setProperty("secondary", true);
    return label;
}

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setProperty("secondary", true);
    return label;
}

void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor ring = Theme::accent();
    ring.setAlphaF(0.9f);
    painter.setPen(QPen(ring, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

} // namespace zorv::editorStyle
