#include "editor/ui/SaveButton.h"

#include "editor/ui/EditorStyle.h"
#include "theme/Theme.h"

#include <QTimer>
#include <QVariantAnimation>

namespace zorv
{

SaveButton::SaveButton(QWidget *parent)
    : EditorButton(QStringLiteral("square.and.arrow.down"), QStringLiteral("Save"), parent),
      m_reset(new QTimer(this)), m_fade(new QVariantAnimation(this))
{
    setHelp(QStringLiteral("Save to the Zorv folder (Ctrl+S)"));
    setBody(Body::accent);
    setFixedSize(76, 30);
    m_reset->setSingleShot(true);
    m_reset->setInterval(1600);
    connect(m_reset, &QTimer::timeout, this, &SaveButton::showNormal);
    m_fade->setDuration(300);
    m_fade->setEasingCurve(QEasingCurve::OutCubic);
    m_fade->setStartValue(editorStyle::confirmGreen());
    m_fade->setEndValue(Theme::accent());
    connect(m_fade, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setFill(value.value<QColor>()); });
    connect(m_fade, &QVariantAnimation::finished, this, [this] { setFill(QColor()); });
}

void SaveButton::confirm()
{
    m_fade->stop();
    m_confirming = true;
    setText(QStringLiteral("Saved"));
    setSymbol(QStringLiteral("checkmark"));
    setFill(editorStyle::confirmGreen());
    m_reset->start();
}

void SaveButton::showNormal()
{
    m_confirming = false;
    setText(QStringLiteral("Save"));
    setSymbol(QStringLiteral("square.and.arrow.down"));
    m_fade->start();
}

} // namespace zorv
