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
    // the dozen pixels of a 1x UI font. Measured on the benchmark's corpus, a
    // 1080p screen enlarged 1.5x errs on a fifth as many characters.
    double smallFactor = 2.0;
    double smallPixels = 1.2e6; // pictures up to this many pixels are doubled
    double midFactor = 1.5;
    double midPixels = 4.2e6; // up to 2560 x 1600
    // Wider pictures are shrunk: each strip stays a bounded allocation.
    int maxWidth = 20000;
    int stripHeight = 2048;
    int stripOverlap = 256;
    double upscale(QSize size) const
    {
        const double pixels = double(size.width()) * size.height();
        return pixels <= smallPixels ? smallFactor : pixels <= midPixels ? midFactor : 1.0;
    }
};

OCROutcome recognizeWith(const QImage &image, const QStringList &languages,
                         const OCRTuning &tuning);

} // namespace zorv::OCRService
