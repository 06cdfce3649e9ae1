#include "editor/ui/SaveButton.h"

#include "editor/ui/EditorStyle.h"
#include "theme/Theme.h"

#include <QTimer>
#include <QVariantAnimation>

namespace zorv
{

namespace
{
// 81 × 32 scaled by 30/32 is the 76 × 30 body.
constexpr qreal restingScale = 30.0 / 32.0;
constexpr qreal confirmingScale = restingScale * 1.06;
} // namespace

SaveButton::SaveButton(QWidget *parent)
    : EditorButton(QStringLiteral("square.and.arrow.down"), QStringLiteral("Save"), parent),
      m_reset(new QTimer(this)), m_fade(new QVariantAnimation(this)),
      m_grow(new QVariantAnimation(this))
{
    setHelp(QStringLiteral("Save to the Zorv folder (Ctrl+S)"));
    setBody(Body::accent);
    // A 76 × 30 body in a slightly larger widget, so it can swell by 6 %.
    setFixedSize(81, 32);
    setBodyScale(restingScale);
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
    // A little overshoot, like a spring settling.
    m_grow->setDuration(300);
    connect(m_grow, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setBodyScale(value.toReal()); });
}

void SaveButton::confirm()
{
    m_fade->stop();
    m_confirming = true;
    setText(QStringLiteral("Saved"));
    setSymbol(QStringLiteral("checkmark"));
    setFill(editorStyle::confirmGreen());
    m_grow->stop();
    m_grow->setEasingCurve(QEasingCurve::OutBack);
    m_grow->setStartValue(restingScale);
    m_grow->setEndValue(confirmingScale);
    m_grow->start();
    m_reset->start();
}

void SaveButton::showNormal()
{
    m_confirming = false;
    setText(QStringLiteral("Save"));
    setSymbol(QStringLiteral("square.and.arrow.down"));
    m_fade->start();
    m_grow->stop();
    m_grow->setEasingCurve(QEasingCurve::OutCubic);
    m_grow->setStartValue(confirmingScale);
    m_grow->setEndValue(restingScale);
    m_grow->start();
}

} // namespace zorv
