#pragma once

#include "output/ocr/OCRResult.h"

#include <QImage>
#include <QStringList>

namespace zorv::OCRService
{

// How a picture is prepared for the recogniser; the benchmark compares choices.
struct OCRTuning {
    int minimumSide = 4;
    bool invertDark = true;
    // Enlarge pictures of screen text: Tesseract reads glyphs best well above
    // the dozen pixels of a 1× UI font.
    double smallFactor = 2.0;
    double smallPixels = 1.2e6; // pictures up to this many pixels are enlarged
    // Wider pictures are shrunk: each strip stays a bounded allocation.
    int maxWidth = 20000;
    int stripHeight = 2048;
    int stripOverlap = 256;
    double upscale(QSize size) const
    {
        return double(size.width()) * size.height() <= smallPixels ? smallFactor : 1.0;
    }
};

OCROutcome recognizeWith(const QImage &image, const QStringList &languages,
                         const OCRTuning &tuning);

} // namespace zorv::OCRService
