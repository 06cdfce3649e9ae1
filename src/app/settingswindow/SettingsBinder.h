#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

namespace zorv
{

class AppSettings;
class OptionBase;

// Connects the settings window's controls to the option table. A control
// whose object name is an option's key is bound by its type: a check box to a
// Boolean, a slider or spin box to a number, a combo box to a choice (item
// data = stored value), a line edit or text box to a text. Loading a value
// into a control never stores anything; only the user's change does.
class SettingsBinder : public QObject
{
    Q_OBJECT
  public:
    // Options no control edits here: the editor remembers its tools itself,
    // the shortcut page edits the map through its recorders, and the welcome
    // flag is only set by dismissing the welcome window.
    static const QStringList &hiddenKeys();
    // Sliders work in integers: a real option moves in its steps, or in
    // hundredths when it has none.
    static constexpr int realSliderScale = 100;
    // Where an option's value (clamped to its range) puts its slider, and back.
    static int sliderPosition(const OptionBase &option);
    static double sliderValue(const OptionBase &option, int position);

    SettingsBinder(AppSettings &settings, QObject *parent = nullptr);

    // Binds every child of `root` named after an option. Returns how many.
    int bindChildren(QWidget *root);
    // Shows the option's current value in its control (signals blocked).
    void refresh(const QString &key);

  private:
    void bind(QWidget *control, OptionBase &option);
    void load(QWidget *control, const OptionBase &option);
    void store(OptionBase &option, const QVariant &value);

    AppSettings &m_settings;
    QList<QWidget *> m_controls;
};

} // namespace zorv
