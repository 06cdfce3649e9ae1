#pragma once

#include "common/Expected.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QUuid>

namespace zorv
{

// One recognised line of text.
struct OCRLine {
    QUuid id;
    QString text;
    // Normalised to the image: 0…1 on both axes, origin at the bottom-left, y up.
    QRectF box;
    float confidence = 0; // 0…1
};

// Recognised lines in reading order.
struct OCRResult {
    QList<OCRLine> lines;
    // The lines joined by single line feeds; empty without lines.
    QString text() const;
};

struct OCRError {
    QString description;
};

using OCROutcome = Expected<OCRResult, OCRError>;

} // namespace zorv
