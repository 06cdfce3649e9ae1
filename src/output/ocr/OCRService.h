#pragma once

#include "output/ocr/OCRResult.h"

#include <QImage>
#include <QLocale>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <chrono>
#include <functional>

class QObject;

namespace zorv::OCRService
{

// How long the recogniser's models stay loaded after the last recognition.
inline constexpr std::chrono::seconds idleRelease{90};

// Lines whose vertical centres lie within this distance (normalised) share a row.
inline constexpr double rowTolerance = 0.02;

// Reading order: lines grouped into rows (a line joins the row whose centre lies
// within rowTolerance of its own), rows from the top, lines in a row from the
// left; equal positions keep their order. A pairwise "same row" sort is not a
// strict weak ordering (a ~ b and b ~ c but not a ~ c), which std::sort may not
// be given.
QList<OCRLine> readingOrder(QList<OCRLine> lines);

// A pixel box (top-left origin) of an image of `size`, normalised with a
// bottom-left origin and clipped to the image.
QRectF normalisedBox(const QRect &pixels, const QSize &size);

// The folder holding the *.traineddata files: $TESSDATA_PREFIX, else Debian's.
QString dataFolder();

// The languages to recognise in Tesseract's form ("deu+eng"): those asked for,
// or with none English plus the locale's language when its data is installed.
// An error naming the package to install when English (or an asked language)
// has no data.
Expected<QString, OCRError> chooseLanguages(const QString &dataFolder, const QLocale &locale,
                                            const QStringList &asked = {});

// Recognises the image's text on the calling thread (not the GUI thread: this
// takes about a second). An empty or tiny image gives an empty result.
OCROutcome recognizeNow(const QImage &image, const QStringList &languages = {});

// Unloads the recogniser's models (tens of megabytes) unless a recognition is
// running; true when they were loaded and are released. Not on the GUI thread.
bool releaseEngine();

// Recognises on a thread of its own and calls `done` in `context`'s thread
// unless `context` is gone by then. The models are released on that thread
// `releaseAfter` after the last recognition.
void recognize(const QImage &image, const QStringList &languages, QObject *context,
               std::function<void(const OCROutcome &)> done,
               std::chrono::milliseconds releaseAfter = idleRelease);

} // namespace zorv::OCRService
