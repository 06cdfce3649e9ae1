#pragma once

#include "editor/Backdrop.h"

#include <QAbstractButton>
#include <QColor>
#include <QWidget>
#include <functional>

class QLabel;
class QSlider;

namespace zorv
{

// A round colour swatch, ringed when it is the current colour. With a label it
// is the "Custom color" row instead: the chip followed by the text.
class SwatchButton : public QAbstractButton
{
    Q_OBJECT
  public:
    SwatchButton(const QColor &colour, const QString &label, QWidget *parent = nullptr);
    void setColour(const QColor &colour);
    QColor colour() const { return m_colour; }
    void setMarked(bool marked);
    bool isMarked() const { return m_marked; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QColor m_colour;
    bool m_marked = false;
};

// A backdrop choice: "None", or a preset's gradient; ringed when chosen.
class BackdropTile : public QAbstractButton
{
    Q_OBJECT
  public:
    // No preset: the "None" tile.
    BackdropTile(const BackdropPreset *preset, QWidget *parent = nullptr);
    void setMarked(bool marked);
    bool isMarked() const { return m_marked; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    const BackdropPreset *m_preset;
    bool m_marked = false;
};

// A labelled slider over a range of real values, with its value shown on the
// right in the row's own format ("12 px", "7%").
class ValueSlider : public QWidget
{
    Q_OBJECT
  public:
    using Format = std::function<QString(double)>;

    // `steps` positions between minimum and maximum.
    ValueSlider(const QString &label, double minimum, double maximum, int steps, Format format,
                QWidget *parent = nullptr);

    // Shows `value` (clamped to the range on the slider) without reporting it.
    void setValue(double value);
    QSlider *slider() const { return m_slider; }
    QString valueText() const;

  Q_SIGNALS:
    void valueChanged(double value);

  private:
    double valueAt(int position) const;

    double m_minimum;
    double m_maximum;
    Format m_format;
    QLabel *m_value;
    QSlider *m_slider;
};

// A row of a label and its value, right-aligned ("Format    PNG").
QWidget *valueRow(const QString &label, QLabel *value, QWidget *parent = nullptr);

} // namespace zorv
