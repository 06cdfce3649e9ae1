#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace zorv
{

struct BackdropPreset {
    QString name;
    // Evenly spaced stops of a linear gradient, as colour strings.
    QStringList colors;
};

// The "beautify" setting: the capture on a padded gradient with rounded
// corners and a drop shadow.
struct Backdrop {
    bool isOn = false;
    int presetIndex = 0;
    // Fractions of the image's longer side.
    double padding = 0.07;
    double cornerRadius = 0.012;
    // Shadow strength; 0 = none.
    double shadow = 0.6;

    bool operator==(const Backdrop &other) const = default;

    static const QList<BackdropPreset> &presets();

    // presetIndex clamped to the list, so stored or typed-in indices stay safe.
    const BackdropPreset &preset() const;

    // Paints the gradient over `canvas` and the shadow that the rounded
    // `imageRect` casts; the caller then draws the image into `imageRect`.
    // The shadow falls below the image, in the painter's coordinates.
    void drawBackground(QPainter &painter, const QRectF &canvas, const QRectF &imageRect,
                        double radius) const;

  private:
    void drawShadow(QPainter &painter, const QRectF &imageRect, double radius) const;
};

} // namespace zorv
