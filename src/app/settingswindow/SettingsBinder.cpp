#include "app/settingswindow/SettingsBinder.h"

#include "settings/AppSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

namespace zorv
{

namespace
{
double sliderScale(const OptionBase &option)
{
    if (option.kind() != OptionKind::real)
        return 1;
    const double step = option.limits().step;
    return step > 0 ? 1.0 / step : SettingsBinder::realSliderScale;
}

bool sameValue(const QVariant &item, const QVariant &value)
{
    if (!item.isValid() || !value.isValid())
        return item.isValid() == value.isValid();
    return item.toString() == value.toString();
}
} // namespace

const QStringList &SettingsBinder::hiddenKeys()
{
    static const QStringList keys{
        QStringLiteral("annotationColorHex"), QStringLiteral("annotationLineWidth"),
        QStringLiteral("annotationFontSize"), QStringLiteral("blurRadius"),
        QStringLiteral("pixelateScale"),      QStringLiteral("autoIncrementNumbers"),
        QStringLiteral("hasSeenWelcome"),
    };
    return keys;
}

SettingsBinder::SettingsBinder(AppSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings)
{
    connect(&settings, &AppSettings::changed, this, &SettingsBinder::refresh);
}

int SettingsBinder::sliderPosition(const OptionBase &option)
{
    const OptionLimits &limits = option.limits();
    const double value = std::clamp(option.variant().toDouble(), limits.minimum, limits.maximum);
    return int(std::lround(value * sliderScale(option)));
}

double SettingsBinder::sliderValue(const OptionBase &option, int position)
{
    return position / sliderScale(option);
}

int SettingsBinder::bindChildren(QWidget *root)
{
    int bound = 0;
    for (QWidget *control : root->findChildren<QWidget *>()) {
        if (control->objectName().isEmpty())
            continue;
        if (OptionBase *option = m_settings.option(control->objectName())) {
            bind(control, *option);
            ++bound;
        }
    }
    return bound;
}

void SettingsBinder::refresh(const QString &key)
{
    OptionBase *option = m_settings.option(key);
    if (!option)
        return;
    for (QWidget *control : std::as_const(m_controls)) {
        if (control && control->objectName() == key)
            load(control, *option);
    }
}

void SettingsBinder::store(OptionBase &option, const QVariant &value)
{
    if (value != option.variant())
        option.setVariant(value);
}

void SettingsBinder::bind(QWidget *control, OptionBase &option)
{
    m_controls.append(control);
    connect(control, &QObject::destroyed, this, [this, control] { m_controls.removeAll(control); });
    load(control, option);
    OptionBase *target = &option;
    if (auto *box = qobject_cast<QCheckBox *>(control)) {
        connect(box, &QCheckBox::toggled, this, [this, target](bool on) { store(*target, on); });
    } else if (auto *slider = qobject_cast<QSlider *>(control)) {
        connect(slider, &QSlider::valueChanged, this, [this, target](int position) {
            if (target->kind() == OptionKind::real)
                store(*target, double(position) / sliderScale(*target));
            else
                store(*target, position);
        });
    } else if (auto *spin = qobject_cast<QSpinBox *>(control)) {
        // Typed digits are stored once the number is complete: "5" on the way to
        // "500" as a history limit would prune the history at the next capture.
        spin->setKeyboardTracking(false);
        connect(spin, &QSpinBox::valueChanged, this,
                [this, target](int value) { store(*target, value); });
    } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
        connect(combo, &QComboBox::activated, this,
                [this, target, combo](int index) { store(*target, combo->itemData(index)); });
    } else if (auto *line = qobject_cast<QLineEdit *>(control)) {
        if (!line->isReadOnly())
            connect(line, &QLineEdit::textEdited, this,
                    [this, target](const QString &text) { store(*target, text); });
    } else if (auto *text = qobject_cast<QPlainTextEdit *>(control)) {
        connect(text, &QPlainTextEdit::textChanged, this,
                [this, target, text] { store(*target, text->toPlainText()); });
    }
}

void SettingsBinder::load(QWidget *control, const OptionBase &option)
{
    const QSignalBlocker blocker(control);
    const QVariant value = option.variant();
    if (auto *box = qobject_cast<QCheckBox *>(control)) {
        box->setChecked(value.toBool());
    } else if (auto *slider = qobject_cast<QSlider *>(control)) {
        const double scale = sliderScale(option);
        const OptionLimits &limits = option.limits();
        slider->setRange(int(std::lround(limits.minimum * scale)),
                         int(std::lround(limits.maximum * scale)));
        if (limits.step > 0)
            slider->setSingleStep(std::max(1, int(std::lround(limits.step * scale))));
        // An out-of-range value shows clamped; the slider does that itself.
        slider->setValue(int(std::lround(value.toDouble() * scale)));
    } else if (auto *spin = qobject_cast<QSpinBox *>(control)) {
        const OptionLimits &limits = option.limits();
        spin->setRange(int(limits.minimum), int(limits.maximum));
        if (limits.step > 0)
            spin->setSingleStep(int(limits.step));
        spin->setValue(value.toInt());
    } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
        int index = -1;
        for (int i = 0; i < combo->count(); ++i) {
            if (sameValue(combo->itemData(i), value))
                index = i;
        }
        // A number the picker does not offer shows as the nearest one it does.
        if (index < 0 && option.kind() == OptionKind::integer) {
            double best = 0;
            for (int i = 0; i < combo->count(); ++i) {
                const double distance = std::abs(combo->itemData(i).toDouble() - value.toDouble());
                if (index < 0 || distance < best) {
                    index = i;
                    best = distance;
                }
            }
        }
        combo->setCurrentIndex(index);
    } else if (auto *line = qobject_cast<QLineEdit *>(control)) {
        if (line->text() != value.toString())
            line->setText(value.toString());
    } else if (auto *text = qobject_cast<QPlainTextEdit *>(control)) {
        if (text->toPlainText() != value.toString())
            text->setPlainText(value.toString());
    }
}

} // namespace zorv
